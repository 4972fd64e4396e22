// Shows a conversation of 5,000 messages on the message board and scrolls it,
// and prints the times beside baselines measured in the same run: laying the
// same bodies out with one QTextLayout each (the plain way to measure wrapped
// text), and painting the empty board (the floor of any frame).
//
// With --emoji every body holds emoji, as real conversations do, so each
// bubble's layout falls back to the colour emoji font when it is installed.
//
// Usage: fennaro_bench_boards [MESSAGES] [--emoji]
#include "records/conversation_index.h"
#include "records/record_nodes.h"
#include "skin/font_pool.h"
#include "views/msg_info_board.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextLayout>
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

using namespace fennaro;

namespace {

// Runs of each measurement; the best one counts.
constexpr int kRuns = 5;
// Scroll steps per run: one wheel notch each, down through the conversation.
constexpr int kScrollSteps = 200;

// Returns a message body: mostly short Latin texts, some long, some on
// several lines, a few Cyrillic and Arabic ones.
std::string makeBody(std::mt19937& rng) {
    static const char* const kWords[] = {
        "hello", "are",   "we",    "still", "on",   "for",  "lunch",  "tomorrow", "yes",
        "the",   "usual", "place", "at",    "half", "past", "twelve", "bring",    "contract"};
    const int kind = int(rng() % 100);
    if (kind < 5)
        return "Привет, как дела? Увидимся завтра в городе.";
    if (kind < 7)
        return "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 \xd8\xa8\xd9\x83\xd9\x85 \xd9\x81\xd9\x8a "
               "\xd8\xa7\xd9\x84\xd8\xb9\xd8\xa7\xd9\x84\xd9\x85";
    const int words = kind < 60 ? 2 + int(rng() % 8) : 10 + int(rng() % 50);
    std::string body;
    for (int i = 0; i < words; ++i) {
        if (i)
            body += (kind >= 90 && i % 7 == 0) ? "\n" : " ";
        body += kWords[rng() % (sizeof kWords / sizeof *kWords)];
    }
    return body;
}

// Returns body with an emoji after every third word and one at its end.
std::string withEmoji(const std::string& body, std::mt19937& rng) {
    static const char* const kEmoji[] = {"\xF0\x9F\x98\x80",         "\xF0\x9F\x98\x82",
                                         "\xF0\x9F\x8E\x89",         "\xF0\x9F\x99\x8F",
                                         "\xE2\x9D\xA4\xEF\xB8\x8F", "\xF0\x9F\x9A\x97"};
    std::string result;
    int words = 0;
    for (const char c : body) {
        result += c;
        if (c == ' ' && ++words % 3 == 0)
            result.append(kEmoji[rng() % 6]).append(" ");
    }
    return result.append(" ").append(kEmoji[rng() % 6]);
}

// Times a piece of work in milliseconds, best of kRuns.
template <typename Work>
double bestMs(Work work) {
    double best = 1e12;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    const bool emoji = argc > 2 && std::string(argv[2]) == "--emoji";
    skin::RegisterSkinFonts();

    ContactLists contacts;
    SmsLists sms;
    std::mt19937 rng(7);
    sms.threads.push_back({1, 1, 0, {}});
    sms.threads.push_back({2, 1, 0, {}});
    for (int i = 0; i < count; ++i)
        sms.messages.push_back(
            {1, sms.texts.add("555"), 0, sms.texts.add("2023-05-01 09:14:03"), 1 + i % 2,
             sms.texts.add(emoji ? withEmoji(makeBody(rng), rng) : makeBody(rng))});
    sms.messages.push_back({2, sms.texts.add("556"), 0, sms.texts.add("2023-05-01 09:14:03"), 1,
                            sms.texts.add("One message")});
    const ConversationIndex index(contacts, sms);

    QWidget window;
    window.resize(984, 674);
    CMsgInfoBoard board(&window);
    board.setIndex(&index);
    // Frames are rendered into an image: the painting itself, without a
    // window system's flush.
    QImage frame(board.size(), QImage::Format_ARGB32_Premultiplied);

    // Baseline: one QTextLayout per body at the bubble's width.
    const QFont font = skin::PoolFontOr(256);
    const double layoutMs = bestMs([&] {
        int lines = 0;
        for (const MessageNode& m : sms.messages) {
            QTextLayout layout(QString::fromUtf8(m.body.data(), qsizetype(m.body.size())), font);
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(160);
                ++lines;
            }
            layout.endLayout();
        }
        if (lines < 0)
            std::puts("");
    });
    const double showMs = bestMs([&] {
        board.showConversation(&sms.threads[0]);
        board.render(&frame);
    });
    const double showOneMs = bestMs([&] {
        board.showConversation(&sms.threads[1]);
        board.render(&frame);
    });

    board.showConversation(&sms.threads[0]);
    board.render(&frame);
    const int stepUnits = std::max(1, board.scrollMaximum() / kScrollSteps);
    const double scrollMs = bestMs([&] {
                                for (int i = 1; i <= kScrollSteps; ++i) {
                                    board.setScrollPosition(i * stepUnits);
                                    board.render(&frame);
                                }
                            }) /
                            kScrollSteps;
    // Floor: a frame of the empty board, its background, edge and bar.
    const int shownItems = int(board.items().size());
    const int contentHeight = board.contentHeight();
    board.showConversation(nullptr);
    const double floorMs = bestMs([&] {
                               for (int i = 0; i < kScrollSteps; ++i)
                                   board.render(&frame);
                           }) /
                           kScrollSteps;

    std::printf("messages shown:                  %d (content %d px)\n", shownItems, contentHeight);
    std::printf("show conversation, painted:      %8.2f ms  (%.2f x one QTextLayout per body, "
                "%.2f ms)\n",
                showMs, showMs / layoutMs, layoutMs);
    std::printf("show a one-message conversation: %8.3f ms\n", showOneMs);
    std::printf("scroll step, painted:            %8.3f ms  (%.2f x the empty board, %.3f ms; "
                "%.0f steps/s)\n",
                scrollMs, scrollMs / floorMs, floorMs, 1000.0 / scrollMs);
    return 0;
}
