// Loads the load benchmarks' large phone (50,000 contacts, 500,000 messages)
// into the real main window, headless, and prints beside the same loading run
// without a window, measured here:
//   - the time from "acquisition done" to the loaded data screen, as a ratio;
//   - the longest stall of the window's thread while the phone is carved,
//     loaded and recovered (a timer that should tick every millisecond);
//   - switching categories at 50,000 rows;
//   - each key typed into the search field, beside filling the list once;
//   - showing a 5,000-message conversation and a one-message one, and a
//     scroll step on the long one, as frames a second;
//   - the process's peak memory beside the record store's.
//
// Usage: fennaro_bench_window [CACHE_DIR]
#include <malloc.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidgetItem>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/main_dlg.h"
#include "bench_phone.h"
#include "phone/deep_load.h"
#include "phone/record_loader.h"
#include "phone/record_reader.h"
#include "records/conversation_index.h"
#include "skin/image_path.h"
#include "skin/list_view_check1.h"
#include "skin/msg_box.h"
#include "skin/tree_view_ex1.h"
#include "update/main_menu.h"
#include "views/find_bar.h"
#include "views/msg_info_board.h"

namespace {

using Clock = std::chrono::steady_clock;

// Returns the bytes of heap in use.
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Returns the process's peak resident memory in bytes.
size_t peakResident() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return size_t(usage.ru_maxrss) * 1024;
}

// Watches the window's thread: a timer asks to tick every millisecond and
// the longest gap between two ticks is the longest the thread was busy.
class StallWatch {
  public:
    StallWatch() {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    // Starts a fresh watch.
    void start() {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    // Stops and returns the longest stall in milliseconds.
    double stop() {
        m_timer.stop();
        return m_longest / 1e6;
    }

  private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Processes events until done() holds.
template <typename Done>
void runUntil(Done done) {
    while (!done())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Returns milliseconds since start.
double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The loading run without a window: both engine runs and the loading worker's
// passes on this thread, the best of two; heapHeld is what the store keeps.
double loadWithoutWindow(const std::string& contactsDb, const std::string& smsDb,
                         size_t& heapHeld) {
    double best = 1e9;
    for (int round = 0; round < 2; ++round) {
        fennaro::RecordStore store;
        const size_t before = heapInUse();
        const Clock::time_point start = Clock::now();
        fennaro::loadAfterAcquisition(store, contactsDb, smsDb);
        best = std::min(best, msSince(start));
        heapHeld = heapInUse() - before;
    }
    return best;
}

// Makes a program folder with the demo helper serving the phone in phoneDir.
void serveFromDemoHelper(const QString& programFolder, const std::filesystem::path& phoneDir) {
    QFile::copy(QStringLiteral(FENNARO_DEMO_HELPER),
                programFolder + "/quillmet-fennaro-adb-help.exe");
    QFile::setPermissions(programFolder + "/quillmet-fennaro-adb-help.exe",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(programFolder + "/demo-phone");
    for (const char* name : {"contacts2.db", "mmssms.db"})
        QFile::link(QString::fromStdString((phoneDir / name).string()),
                    programFolder + "/demo-phone/" + name);
}

// The deep loading run without a window: the live records of the current
// states and the deep engine's records joined to them, best of two.
double deepLoadWithoutWindow(const std::string& contactsDb, const std::string& smsDb) {
    double best = 1e9;
    for (int round = 0; round < 2; ++round) {
        fennaro::RecordStore store;
        const Clock::time_point start = Clock::now();
        fennaro::deep::loadDeepAfterAcquisition(store, contactsDb, smsDb);
        best = std::min(best, msSince(start));
    }
    return best;
}

// Adds the phone in phoneDir to a program folder as the demo helper's
// modern phone, where a Deep Scan finds it (copies: the helper reads the
// sizes of real files).
void serveAsModernPhone(const QString& programFolder, const std::filesystem::path& phoneDir) {
    const QString base = programFolder + "/modern-phone/data/";
    const QString contacts = base + "data/com.android.providers.contacts/databases/";
    const QString sms = base + "user_de/0/com.android.providers.telephony/databases/";
    QDir().mkpath(contacts);
    QDir().mkpath(sms);
    QFile::copy(QString::fromStdString((phoneDir / "contacts2.db").string()),
                contacts + "contacts2.db");
    QFile::copy(QString::fromStdString((phoneDir / "mmssms.db").string()), sms + "mmssms.db");
}

// Types text into the search field one key at a time and returns the
// slowest and the mean time from a key to the repainted window.
std::pair<double, double> typeIntoSearch(fennaro::CMainDlg& window, const QString& text) {
    double slowest = 0;
    double total = 0;
    for (const QChar c : text) {
        const Clock::time_point start = Clock::now();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(window.findBar()->field(), &press);
        window.repaint();
        const double ms = msSince(start);
        slowest = std::max(slowest, ms);
        total += ms;
    }
    return {slowest, text.isEmpty() ? 0 : total / double(text.size())};
}

// Times the search of one category: the first key (which indexes the
// rows), then every key of a word and of a number, each beside filling the
// list once (a category switch, measured here too), and Escape.
void measureSearch(fennaro::CMainDlg& window, QTreeWidgetItem* category, const char* name) {
    window.tree()->setCurrentItem(window.rootItem());
    Clock::time_point start = Clock::now();
    window.tree()->setCurrentItem(category);
    window.repaint();
    const double fill = msSince(start);
    const int rows = window.recordList()->GetItemCount();

    window.findBar()->focusField();
    const auto [firstKey, unused] = typeIntoSearch(window, QStringLiteral("m"));
    (void)unused;
    const auto [wordSlowest, wordMean] = typeIntoSearch(window, QStringLiteral("eeting"));
    const int wordRows = window.recordList()->GetItemCount();
    window.findBar()->clear();
    const auto [numberSlowest, numberMean] = typeIntoSearch(window, QStringLiteral("0086 138 00"));
    start = Clock::now();
    window.findBar()->clear();
    window.repaint();
    const double escape = msSince(start);
    std::printf("search %s (%d rows): filling the list once %.1f ms; first key (indexes the "
                "rows) %.1f ms\n",
                name, rows, fill, firstKey);
    std::printf("search %s: per key of \"meeting\" (%d rows found) mean %.1f ms, slowest %.1f ms "
                "= %.2f x the fill (goal < 50 ms)\n",
                name, wordRows, wordMean, wordSlowest, wordSlowest / fill);
    std::printf("search %s: per key of \"0086 138 00\" mean %.1f ms, slowest %.1f ms = %.2f x the "
                "fill; Escape %.1f ms\n",
                name, numberMean, numberSlowest, numberSlowest / fill, escape);
    std::fflush(stdout);
}

// Times showing conversations on a message board of its own: a 5,000-message
// one, a one-message one, and a scroll step on the long one.
void measureBoard(const std::filesystem::path& cache) {
    const std::filesystem::path path = cache / "board-5000-messages.db";
    if (!std::filesystem::exists(path)) {
        testdata::RandomSource rng(11);
        benchphone::writeMessages(path.string(), testdata::DbOptions{}, rng, {"+15550100"}, {1}, 1,
                                  5'000, 0);
    }
    fennaro::ContactLists contacts;
    const fennaro::SmsLists sms = fennaro::readSms(path.string());
    const fennaro::ConversationIndex index(contacts, sms);
    const fennaro::ThreadNode& longOne = sms.threads.at(0);
    fennaro::ThreadNode single = longOne;

    QWidget window;
    window.resize(fennaro::CMainDlg::kWidth, fennaro::CMainDlg::kHeight);
    fennaro::CMsgInfoBoard board(&window);
    board.setIndex(&index);
    window.show();
    QApplication::processEvents();

    double showLong = 1e9;
    for (int round = 0; round < 3; ++round) {
        board.showConversation(nullptr);
        const Clock::time_point start = Clock::now();
        board.showConversation(&longOne);
        board.repaint();
        showLong = std::min(showLong, msSince(start));
    }
    const size_t shown = board.items().size();

    // One message: a deleted SMS shows as one bubble.
    single.deleted = 1;
    single.text = "Ann\t+15550100\tSee you at eight";
    const Clock::time_point oneStart = Clock::now();
    board.showConversation(&single);
    board.repaint();
    const double showOne = msSince(oneStart);

    board.showConversation(&longOne);
    board.repaint();
    const int steps = std::min(200, board.scrollMaximum());
    const Clock::time_point scrollStart = Clock::now();
    for (int step = 1; step <= steps; ++step) {
        board.setScrollPosition(step);
        board.repaint();
    }
    const double perStep = steps > 0 ? msSince(scrollStart) / steps : 0;

    // The same length of conversation with emoji in every body, as real
    // ones have: with the colour emoji font installed every bubble meets it.
    fennaro::SmsLists emojiSms;
    emojiSms.threads.push_back({1, 1, 0, {}});
    const char* const kEmoji[] = {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x82", "\xF0\x9F\x8E\x89",
                                  "\xE2\x9D\xA4\xEF\xB8\x8F"};
    for (size_t i = 0; i < 5'000; ++i) {
        std::string body = "see you at " + std::to_string(i % 12 + 1) + " " + kEmoji[i % 4] +
                           " bring the " + kEmoji[(i / 4) % 4] + " tickets";
        if (i % 5 == 0)
            body += " and the long story of the day, with more words " + std::string(kEmoji[0]);
        emojiSms.messages.push_back({1, emojiSms.texts.add("+15550100"), 0,
                                     emojiSms.texts.add("2023-05-01 09:14:03"), int32_t(1 + i % 2),
                                     emojiSms.texts.add(body), 0});
    }
    const fennaro::ConversationIndex emojiIndex(contacts, emojiSms);
    board.setIndex(&emojiIndex);
    double showEmoji = 1e9;
    for (int round = 0; round < 3; ++round) {
        board.showConversation(nullptr);
        const Clock::time_point start = Clock::now();
        board.showConversation(&emojiSms.threads[0]);
        board.repaint();
        showEmoji = std::min(showEmoji, msSince(start));
    }
    board.setIndex(&index);

    std::printf("board: %zu-message conversation shown in %7.1f ms (goal < 100)\n", shown,
                showLong);
    std::printf("board: 5000 emoji-rich messages shown in %5.1f ms (goal < 100)\n", showEmoji);
    std::printf("board: one message shown in          %7.2f ms\n", showOne);
    std::printf("board: scroll step on it              %7.2f ms = %.0f frames a second "
                "(goal >= 60)\n",
                perStep, perStep > 0 ? 1000.0 / perStep : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    skin::SetImageFolder(QStringLiteral(FENNARO_IMAGE_DIR));
    const std::filesystem::path cache = argc > 1 ? argv[1] : FENNARO_BENCH_DATA_DIR;
    const std::filesystem::path phone = benchphone::ensureLoadPhone(cache);
    const std::string contactsDb = (phone / "contacts2.db").string();
    const std::string smsDb = (phone / "mmssms.db").string();

    size_t storeHeap = 0;
    const double baseline = loadWithoutWindow(contactsDb, smsDb, storeHeap);

    QTemporaryDir program;
    QTemporaryDir home;
    QTemporaryDir output;
    serveFromDemoHelper(program.path(), phone);
    fennaro::MainDlgOptions options;
    options.programFolder = program.path().toStdString();
    options.homeFolder = home.path().toStdString();
    options.acquireDelay = std::chrono::milliseconds(0);
    options.armUpdateTimer = false;
    fennaro::DialogHooks hooks;
    // Every question is answered Yes (Back) or OK.
    hooks.messageBox = [](int, int flags, const QString&, QWidget*) {
        return (flags & skin::CMsgBox::kYes) ? skin::CMsgBox::IDC_YES : skin::CMsgBox::IDC_OK;
    };
    hooks.pickFolder = [&](QWidget*, const QString&) { return std::optional(output.path()); };
    hooks.openUrl = [](const QUrl&) {};
    // The main menu's one use here is the Deep Scan.
    hooks.trackMenu = [](QWidget*) { return fennaro::ID_MENU_DEEP_SCAN; };

    StallWatch watch;
    bool acquired = false;
    bool loaded = false;
    Clock::time_point acquiredAt;
    double loadedMs = 0;
    fennaro::CMainDlg window(options, hooks);
    QObject::connect(&window, &fennaro::CMainDlg::acquireFinished, [&] {
        acquired = true;
        acquiredAt = Clock::now();
        watch.start();
    });
    QObject::connect(&window, &fennaro::CMainDlg::loadFinished, [&] {
        loadedMs = msSince(acquiredAt);
        loaded = true;
    });
    window.show();
    runUntil([&] { return loaded; });
    double loadStall = watch.stop();
    // A second load after Back, as the baseline's best of two also reuses
    // memory the first one had the system hand over.
    const double firstLoadMs = loadedMs;
    loaded = false;
    window.onCommand(fennaro::CMainDlg::IDC_BACK);
    runUntil([&] { return loaded; });
    loadStall = std::max(loadStall, watch.stop());
    loadedMs = std::min(loadedMs, firstLoadMs);
    (void)acquired;

    // Switching categories rebuilds the list: Message, then Contacts again.
    skin::CListViewCheck1* list = window.recordList();
    Clock::time_point start = Clock::now();
    window.tree()->setCurrentItem(window.messageItem());
    window.repaint();
    const double toMessages = msSince(start);
    const int messageRows = list->GetItemCount();
    start = Clock::now();
    window.tree()->setCurrentItem(window.contactsItem());
    window.repaint();
    const double toContacts = msSince(start);
    const int contactRows = list->GetItemCount();
    measureSearch(window, window.messageItem(), "Message");
    measureSearch(window, window.contactsItem(), "Contacts");

    bool exported = false;
    QObject::connect(&window, &fennaro::CMainDlg::exportFinished, [&] { exported = true; });
    watch.start();
    start = Clock::now();
    window.onCommand(fennaro::CMainDlg::IDC_RECOVER);
    runUntil([&] { return exported; });
    const double exportMs = msSince(start);
    const double exportStall = watch.stop();
    const size_t peak = peakResident();

    std::printf("phone: %s\n", phone.c_str());
    std::printf("load without a window (engine + loading): %8.0f ms\n", baseline);
    std::printf("window, acquisition done to loaded:       %8.0f ms  ratio %.2f (goal <= 1.2); "
                "first load %.0f ms\n",
                loadedMs, loadedMs / baseline, firstLoadMs);
    std::printf("longest stall of the window's thread while carving and loading: %6.1f ms "
                "(goal <= 100)\n",
                loadStall);
    std::printf("switch to Message (%d rows):  %7.1f ms (goal < 150)\n", messageRows, toMessages);
    std::printf("switch to Contacts (%d rows): %7.1f ms (goal < 150)\n", contactRows, toContacts);
    std::printf("Recover everything: %.0f ms; longest stall of the window's thread: %.1f ms "
                "(goal <= 100)\n",
                exportMs, exportStall);
    std::printf("peak memory %.0f MB; the record store holds %.0f MB: ratio %.2f\n", peak / 1e6,
                storeHeap / 1e6, double(peak) / double(storeHeap));

    // Deep mode: a Deep Scan of the same phone, from the menu; the time from
    // its acquisition's end to the loaded data screen, beside the same deep
    // loading without a window.
    const double deepBaseline = deepLoadWithoutWindow(contactsDb, smsDb);
    serveAsModernPhone(program.path(), phone);
    loaded = false;
    window.onCommand(fennaro::CMainDlg::IDC_MENU);
    runUntil([&] { return loaded; });
    double deepStall = watch.stop();
    // Best of two, as for the baseline and the classic load: Back repeats
    // the deep scan.
    const double firstDeepMs = loadedMs;
    loaded = false;
    window.onCommand(fennaro::CMainDlg::IDC_BACK);
    runUntil([&] { return loaded; });
    deepStall = std::max(deepStall, watch.stop());
    const double deepMs = std::min(loadedMs, firstDeepMs);
    std::printf("deep load without a window:               %8.0f ms\n", deepBaseline);
    std::printf("window, deep acquisition done to loaded:  %8.0f ms  ratio %.2f (goal <= 1.2); "
                "first deep load %.0f ms; %.2f x the classic load without a window\n",
                deepMs, deepMs / deepBaseline, firstDeepMs, deepMs / baseline);
    std::printf("longest stall of the window's thread in the deep load: %6.1f ms (goal <= 100)\n",
                deepStall);

    // The deep scan's timeline, every dated message and call in one list
    // whose rows make their texts when painted, beside the deep Message
    // list; then a jump to its middle, as dragging the bar does.
    start = Clock::now();
    window.tree()->setCurrentItem(window.messageItem());
    window.repaint();
    const double toDeepMessages = msSince(start);
    const int deepMessageRows = list->GetItemCount();
    start = Clock::now();
    window.tree()->setCurrentItem(window.timelineItem());
    window.repaint();
    const double toTimeline = msSince(start);
    const int timelineRows = list->GetItemCount();
    start = Clock::now();
    list->EnsureVisible(timelineRows / 2);
    list->viewport()->repaint();
    const double timelineScroll = msSince(start);
    std::printf("switch to the deep Message (%d rows): %7.1f ms; to the Timeline (%d rows): "
                "%7.1f ms, ratio %.2f (goal < 150 ms); to its middle row %.1f ms\n",
                deepMessageRows, toDeepMessages, timelineRows, toTimeline,
                toTimeline / std::max(toDeepMessages, 0.1), timelineScroll);
    window.onCommand(fennaro::CMainDlg::IDC_CLOSE);

    measureBoard(cache);
    return 0;
}
