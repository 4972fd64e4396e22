#include "skin/my_hyper_link.h"

#include <QDesktopServices>
#include <QUrl>

namespace skin {

CMyHyperLink::CMyHyperLink(QWidget* parent) : CHyperLink(parent) {
    SetTarget(QString::fromLatin1(kSupportPageUrl));
}

void CMyHyperLink::OnClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kProductPageUrl)));
}

} // namespace skin
