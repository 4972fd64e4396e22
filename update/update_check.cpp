#include "update/update_check.h"

#include "platform/product_identity.h"
#include "update/update_reply.h"
#include "update/update_settings.h"

#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <string>
#include <string_view>

namespace fennaro {

namespace {

// Redirects followed at most; only ones that keep scheme, host and port.
constexpr int kMaxRedirects = 5;

constexpr qsizetype kReplyLimit = static_cast<qsizetype>(kUpdateReplyLimit);

// Routes the request the way the system's proxy settings say, without
// changing the proxy of the rest of the program.
class SystemProxyFactory : public QNetworkProxyFactory {
  public:
    // Returns the system's proxies for one request.
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

// True for the schemes the check may fetch.
bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

UpdateCheckOptions programUpdateCheckOptions() {
    const UpdateSettings settings = readUpdateSettings();
    UpdateCheckOptions options;
    options.enabled = settings.enabled;
    options.url = updateDescriptionUrl(settings);
    options.programVersion = kProgramVersion;
    options.isDisconnected = networkIsDisconnected;
    return options;
}

bool networkIsDisconnected() {
    // Loading a backend may fail (no NetworkManager, no GLib monitor): then
    // nothing is known and the request is simply tried.
    if (!QNetworkInformation::instance())
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    const QNetworkInformation* info = QNetworkInformation::instance();
    return info && info->reachability() == QNetworkInformation::Reachability::Disconnected;
}

UpdateCheck::UpdateCheck(UpdateCheckOptions options, QObject* owner)
    : QObject(owner), m_options(std::move(options)), m_limitTimer(this) {
    m_limitTimer.setSingleShot(true);
    connect(&m_limitTimer, &QTimer::timeout, this, [this] { finish(Outcome::TimedOut); });
}

UpdateCheck::~UpdateCheck() {
    dropRequest();
}

bool UpdateCheck::updateThreadProc() {
    if (m_outcome != Outcome::NotRun)
        return false;
    if (!m_options.enabled) {
        finish(Outcome::Disabled);
        return false;
    }
    if (!isWebAddress(m_options.url)) {
        finish(Outcome::Failed);
        return false;
    }
    if (m_options.isDisconnected && m_options.isDisconnected()) {
        finish(Outcome::Disconnected);
        return false;
    }
    m_outcome = Outcome::Running;
    m_manager = new QNetworkAccessManager(this);
    m_manager->setProxyFactory(new SystemProxyFactory);
    QNetworkRequest request(m_options.url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUpdateAgentName));
    request.setRawHeader("Accept", "*/*");
    // Another host must never answer in the maker's name.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    m_reply = m_manager->get(request);
    // Keeps Qt from buffering more of a long reply than the check looks at.
    m_reply->setReadBufferSize(kReplyLimit);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateCheck::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::onReplyFinished);
    m_limitTimer.start(m_options.timeLimit);
    return true;
}

void UpdateCheck::onReadyRead() {
    if (!m_reply)
        return;
    if (!replySucceeded()) {
        finish(Outcome::Failed);
        return;
    }
    m_body += m_reply->read(kReplyLimit - m_body.size());
    if (m_body.size() >= kReplyLimit)
        evaluateReply();
}

void UpdateCheck::onReplyFinished() {
    if (!m_reply)
        return;
    if (m_reply->error() != QNetworkReply::NoError || !replySucceeded()) {
        finish(Outcome::Failed);
        return;
    }
    m_body += m_reply->read(kReplyLimit - m_body.size());
    evaluateReply();
}

bool UpdateCheck::replySucceeded() const {
    // An error page may well carry JSON; only a success answers the question.
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.isValid() ? status.toInt() : 0;
    return code >= 200 && code <= 299;
}

void UpdateCheck::evaluateReply() {
    const std::string offered =
        offeredVersionOf(std::string_view(m_body.constData(), static_cast<size_t>(m_body.size())));
    if (!isUpdateOffered(offered, m_options.programVersion.toStdString())) {
        finish(Outcome::NoOffer);
        return;
    }
    finish(Outcome::Offered, QString::fromStdString(offered));
}

void UpdateCheck::dropRequest() {
    m_limitTimer.stop();
    // Deleting the reply stops its transfer and closes the connection.
    // abort() would do the same but trips over Qt's own error report when
    // an HTTP error status is still on its way in.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    if (m_manager) {
        m_manager->deleteLater();
        m_manager = nullptr;
    }
}

void UpdateCheck::finish(Outcome outcome, const QString& offeredVersion) {
    m_outcome = outcome;
    dropRequest();
    // Posted, not emitted: the handler may run a modal box, which must not
    // happen inside the network reply's own signal.
    if (outcome == Outcome::Offered)
        QMetaObject::invokeMethod(
            this, [this, offeredVersion] { emit updateFound(offeredVersion); },
            Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        this, [this, outcome] { emit finished(outcome); }, Qt::QueuedConnection);
}

} // namespace fennaro
