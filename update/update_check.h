// The background check for a newer version: one HTTP GET of the update
// description, shortly after the main window opens, that ends silently in
// every case except a version on offer.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace fennaro {

// The agent name the request carries as its User-Agent.
inline constexpr const char* kUpdateAgentName = "Quillmet@Update";

struct UpdateCheckOptions {
    // False: the check ends at once without any request.
    bool enabled = true;
    // The update description; an empty or non-http(s) address ends the check.
    QUrl url;
    // The version offers are compared with, byte for byte.
    QByteArray programVersion;
    // The whole exchange, from connecting to the last byte, gets this long.
    std::chrono::milliseconds timeLimit{10000};
    // Asks whether the computer is known to have no network at all; true ends
    // the check without a request. Empty: no connection check.
    std::function<bool()> isDisconnected;
};

// The options the program runs with: the user's settings, the program's
// version, 10 seconds, and the system's network information.
UpdateCheckOptions programUpdateCheckOptions();

// True when Qt's network information reports no connection at all. False when
// it is connected, only partly connected, or cannot tell (no backend).
bool networkIsDisconnected();

class UpdateCheck : public QObject {
    Q_OBJECT
  public:
    // How a check ended; the window only sees updateFound, tests see more.
    enum class Outcome {
        NotRun,       // updateThreadProc has not been called
        Running,      // the request is under way
        Disabled,     // switched off in the settings: no request
        Disconnected, // the computer has no network: no request
        Failed,       // no usable answer: bad address, refused, HTTP error, cut off
        TimedOut,     // no complete answer within the time limit
        NoOffer,      // an answer that offers nothing (same version, bad text)
        Offered,      // another version is on offer; updateFound was posted
    };
    Q_ENUM(Outcome)

    // A check that runs once with options. Give it the window as owner: when
    // the window goes, the check goes with it and a running request is
    // dropped without a word to anyone.
    explicit UpdateCheck(UpdateCheckOptions options, QObject* owner = nullptr);
    // Drops a request still under way.
    ~UpdateCheck() override;

    // Starts the one check of this object; later calls do nothing. Returns
    // true when a request went out. The request runs asynchronously on this
    // object's thread (Qt's network module does its waiting in its own
    // thread), so no worker thread of ours is needed and nothing blocks.
    bool updateThreadProc();

    // How the check ended so far.
    Outcome outcome() const { return m_outcome; }

  signals:
    // Another version is on offer. Posted to this object's thread after the
    // request has been put away, so the handler may open a modal box.
    void updateFound(const QString& offeredVersion);
    // The check has ended, whatever the outcome (posted after updateFound).
    void finished(fennaro::UpdateCheck::Outcome outcome);

  private:
    // Takes the bytes that have arrived, up to the reply limit; ends the
    // check once the limit is reached.
    void onReadyRead();
    // Ends the check when the reply is complete or has failed.
    void onReplyFinished();
    // True when the reply's HTTP status is a success (2xx).
    bool replySucceeded() const;
    // Reads the collected bytes and ends the check with or without an offer.
    void evaluateReply();
    // Stops the time limit and drops the request and its connection.
    void dropRequest();
    // Ends the check: drops the request and posts what the window must know.
    void finish(Outcome outcome, const QString& offeredVersion = {});

    UpdateCheckOptions m_options;
    Outcome m_outcome = Outcome::NotRun;
    QNetworkAccessManager* m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    QTimer m_limitTimer;
};

} // namespace fennaro
