#include "update/update_prompt.h"

#include "platform/product_identity.h"
#include "skin/msg_box.h"

#include <QCoreApplication>
#include <QDesktopServices>

namespace fennaro {

UpdateActions::UpdateActions()
    : askUser([](int kind, int flags, const QString& text, QWidget* owner) {
          return skin::CMsgBox::Run(kind, flags, text, owner);
      }),
      openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      programFolder([] { return QCoreApplication::applicationDirPath(); }) {}

QString updaterPath(const QString& programFolder) {
    return programFolder + QLatin1Char('/') + QLatin1String(kUpdaterFileName);
}

QString startUpdate(const UpdateActions& actions) {
    const QString path = updaterPath(actions.programFolder ? actions.programFolder() : QString());
    if (actions.openUrl)
        actions.openUrl(QUrl(QString::fromLatin1(kDownloadPageUrl)));
    return path;
}

int onUpdateFound(QWidget* owner, const UpdateActions& actions) {
    if (!actions.askUser)
        return 0;
    const int answer =
        actions.askUser(skin::CMsgBox::kInfo, skin::CMsgBox::kYes | skin::CMsgBox::kNo,
                        QString::fromLatin1(kUpdateQuestion), owner);
    if (answer == skin::CMsgBox::IDC_YES)
        startUpdate(actions);
    return 0;
}

} // namespace fennaro
