// board_shots OUT_DIR [IMAGE_DIR]: renders both detail boards with a few
// records to PNG files, for looking at them as a user would. Pictures come
// from IMAGE_DIR (default: the image folder beside the program).
#include "board_records.h"

#include "records/conversation_index.h"
#include "skin/font_pool.h"
#include "skin/image_path.h"
#include "views/contact_info_board.h"
#include "views/msg_info_board.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

using namespace fennaro;

namespace {

// Saves a board's picture as name.png; returns false when it cannot.
bool save(QWidget& board, const QString& dir, const QString& name) {
    const QString path = dir + "/" + name + ".png";
    if (!board.grab().save(path)) {
        std::fprintf(stderr, "board_shots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Fills the sample records: three contacts and three conversations.
void fillSamples(test::BoardRecords& r) {
    r.contact(1, "Ann Example");
    r.row(1, test::kOrganizationMime, "Quillmet Trading Ltd", "1", "Head of Sales", "Exports");
    r.row(1, test::kPhoneMime, "+44 20 7946 0018", "2");
    r.row(1, test::kPhoneMime, "020 7946 0999", "1");
    r.row(1, test::kPhoneMime, "0800 123 456", "12");
    r.row(1, test::kEmailMime, "ann.example@quillmet.example", "9");
    r.row(1, test::kPhoneMime, "+44 20 7946 0018 ext. 1234 (reception, ask for the sales desk)",
          "3");
    r.deletedContact("Bob Carved\t07700 900123");
    r.contact(3, "A contact with a name far too long to fit on the board's name line");
    for (int i = 0; i < 40; ++i)
        r.row(3, test::kPhoneMime, "07700 900" + std::to_string(100 + i),
              std::to_string(1 + i % 20));

    r.thread(7);
    r.message(7, 1, "2023-05-01 09:14:03", "Hello");
    r.message(7, 2, "2023-05-01 09:15:40", "Hi Ann, are we still on for lunch tomorrow?");
    r.message(7, 1, "2023-05-01 09:20:11",
              "Yes! Let's meet at the usual place at half past twelve. I will bring the "
              "papers for the contract so we can go through them together.");
    r.message(7, 2, "2023-05-01 09:21:00", "Line one\r\nLine two\nLine three");
    r.message(7, 1, "2023-05-01 09:30:00",
              "Привет! 你好，明天见。 \xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 bad byte: \xff");
    r.message(7, 2, "2023-05-01 09:31:00",
              "Supercalifragilisticexpialidociouslyextraordinarylongword");
    r.message(7, 1, "2023-05-01 09:40:00", "ok");
    r.deletedSms("Carol\t07700 900555\tThis message was deleted but carved back.");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: board_shots OUT_DIR [IMAGE_DIR]\n");
        return 2;
    }
    const QString out = args[1];
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "board_shots: cannot create %s\n", qPrintable(out));
        return 1;
    }
    skin::SetImageFolder(args.size() == 3 ? args[2] : app.applicationDirPath() + "/image");
    skin::RegisterSkinFonts();

    test::BoardRecords records;
    fillSamples(records);
    const ContactDataIndex contactIndex(records.contacts);
    const ConversationIndex conversationIndex(records.contacts, records.sms);

    QWidget window;
    window.resize(984, 674);
    CContactInfoBoard contacts(&window);
    CMsgInfoBoard messages(&window);
    contacts.setIndex(&contactIndex);
    messages.setIndex(&conversationIndex);
    bool ok = true;
    contacts.showContact(&records.contacts.contacts[0]);
    ok &= save(contacts, out, "contact_live");
    contacts.showContact(&records.contacts.contacts[1]);
    ok &= save(contacts, out, "contact_deleted");
    contacts.showContact(&records.contacts.contacts[2]);
    ok &= save(contacts, out, "contact_long");
    contacts.setScrollPosition(contacts.scrollMaximum());
    ok &= save(contacts, out, "contact_long_bottom");
    messages.showConversation(&records.sms.threads[0]);
    ok &= save(messages, out, "conversation");
    messages.setScrollPosition(messages.scrollMaximum());
    ok &= save(messages, out, "conversation_bottom");
    messages.showConversation(&records.sms.threads[1]);
    ok &= save(messages, out, "deleted_sms");
    return ok ? 0 : 1;
}
