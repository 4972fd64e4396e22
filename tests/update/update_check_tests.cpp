// The update check against a local HTTP server: which answers lead to the
// question, that every bad answer ends silently, the request's headers, the
// time limit, redirects, the settings, and a window that goes away while the
// request runs.
#include "http_responder.h"
#include "update/update_check.h"
#include "update/update_settings.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using fennaro::UpdateCheck;
using fennaro::UpdateCheckOptions;
using Outcome = fennaro::UpdateCheck::Outcome;
using updatetest::HttpResponder;

namespace {

// A description offering nversion (JSON text).
QByteArray describe(const QByteArray& nversion) {
    return "{\"Fennaro\":[{\"Version\":\"1.5.0.0\",\"Nversion\":" + nversion +
           ",\"Update_URL\":\"http://127.0.0.1:1/never-opened\"}]}";
}

// Options for a check of url with a short limit and no connection check.
UpdateCheckOptions optionsFor(const QUrl& url, int limitMs = 5000) {
    UpdateCheckOptions options;
    options.url = url;
    options.programVersion = "1.5.0.0";
    options.timeLimit = std::chrono::milliseconds(limitMs);
    return options;
}

// What one check did.
struct CheckResult {
    Outcome outcome = Outcome::NotRun;
    QStringList offers; // the versions updateFound carried
};

// Runs one check to its end and reports what it did.
CheckResult runCheck(const UpdateCheckOptions& options) {
    CheckResult result;
    UpdateCheck check(options);
    bool ended = false;
    QObject::connect(&check, &UpdateCheck::updateFound,
                     [&](const QString& version) { result.offers << version; });
    QObject::connect(&check, &UpdateCheck::finished, [&](Outcome o) {
        ended = true;
        result.outcome = o;
    });
    check.updateThreadProc();
    if (!QTest::qWaitFor([&] { return ended; }, 20000))
        result.outcome = Outcome::Running;
    return result;
}

} // namespace

class UpdateCheckTests : public QObject {
    Q_OBJECT
  public:
    explicit UpdateCheckTests(QString configHome) : m_configHome(std::move(configHome)) {}

  private:
    QString m_configHome;

  private slots:
    void versionsOnOffer_data() {
        QTest::addColumn<QByteArray>("nversion");
        QTest::addColumn<int>("trailingBlanks");
        QTest::addColumn<QStringList>("offers");
        QTest::newRow("same") << QByteArray("\"1.5.0.0\"") << 0 << QStringList();
        QTest::newRow("newer") << QByteArray("\"1.5.0.1\"") << 0 << QStringList{"1.5.0.1"};
        QTest::newRow("older") << QByteArray("\"1.4.0.0\"") << 0 << QStringList{"1.4.0.0"};
        QTest::newRow("empty") << QByteArray("\"\"") << 0 << QStringList();
        // Whole within the first 1024 bytes; the rest is never waited for.
        QTest::newRow("newer, long reply")
            << QByteArray("\"1.6.0.0\"") << 500000 << QStringList{"1.6.0.0"};
    }
    void versionsOnOffer() {
        QFETCH(QByteArray, nversion);
        QFETCH(int, trailingBlanks);
        QFETCH(QStringList, offers);
        HttpResponder server;
        QVERIFY(server.isListening());
        server.answer(
            "/update.txt",
            HttpResponder::response(200, describe(nversion) + QByteArray(trailingBlanks, ' ')));
        const CheckResult result = runCheck(optionsFor(server.url()));
        QCOMPARE(result.offers, offers);
        QCOMPARE(result.outcome, offers.isEmpty() ? Outcome::NoOffer : Outcome::Offered);
        QCOMPARE(server.connections(), 1);
    }

    void badRepliesEndSilently_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<Outcome>("outcome");
        const QByteArray offer = describe("\"1.5.0.1\"");
        const auto ok = [](const QByteArray& body) { return HttpResponder::response(200, body); };
        QByteArray padded = offer;
        padded.insert(padded.size() - 3, ",\"Pad\":\"" + QByteArray(300000, 'x') + "\"");
        QTest::newRow("empty") << ok({}) << Outcome::NoOffer;
        QTest::newRow("longer than 1024 bytes") << ok(padded) << Outcome::NoOffer;
        QTest::newRow("not JSON") << ok("<html>Welcome</html>") << Outcome::NoOffer;
        QTest::newRow("root array") << ok("[{\"Nversion\":\"1.5.0.1\"}]") << Outcome::NoOffer;
        QTest::newRow("Fennaro object")
            << ok("{\"Fennaro\":{\"Nversion\":\"1.5.0.1\"}}") << Outcome::NoOffer;
        QTest::newRow("first element a string")
            << ok("{\"Fennaro\":[\"1.5.0.1\"]}") << Outcome::NoOffer;
        QTest::newRow("Nversion number") << ok(describe("1.6")) << Outcome::NoOffer;
        QTest::newRow("too deep") << ok(QByteArray(1024, '[')) << Outcome::NoOffer;
        QTest::newRow("NUL inside")
            << ok(QByteArray("{\"Fennaro\":[{\"Nver") + '\0' + "sion\":\"1.5.0.1\"}]}")
            << Outcome::NoOffer;
        QTest::newRow("invalid UTF-8") << ok(describe("\"1.5.0.\xff\"")) << Outcome::NoOffer;
        QTest::newRow("404 carrying an offer")
            << HttpResponder::response(404, offer) << Outcome::Failed;
        QTest::newRow("500 carrying an offer")
            << HttpResponder::response(500, offer) << Outcome::Failed;
        // Its first 1024 bytes are a whole offer, read before the reply ends.
        QTest::newRow("404 carrying a long offer")
            << HttpResponder::response(404, offer + QByteArray(5000, ' ')) << Outcome::Failed;
        QTest::newRow("not HTTP") << QByteArray("garbage\r\n\r\n") << Outcome::Failed;
        QTest::newRow("body shorter than announced")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n") + offer
            << Outcome::Failed;
    }
    void badRepliesEndSilently() {
        QFETCH(QByteArray, raw);
        QFETCH(Outcome, outcome);
        HttpResponder server;
        server.answer("/update.txt", raw);
        const CheckResult result = runCheck(optionsFor(server.url()));
        QCOMPARE(result.offers, QStringList());
        QCOMPARE(result.outcome, outcome);
    }

    void unreachableServersEndSilently() {
        // Silence: the time limit ends the check and drops the connection.
        HttpResponder silent;
        CheckResult result = runCheck(optionsFor(silent.url(), 300));
        QCOMPARE(result.outcome, Outcome::TimedOut);
        QVERIFY(result.offers.isEmpty());
        QTRY_COMPARE(silent.closedByPeer(), 1);

        // A port nobody listens on.
        quint16 freePort = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            freePort = probe.serverPort();
        }
        result = runCheck(optionsFor(QUrl(QStringLiteral("http://127.0.0.1:%1/u").arg(freePort))));
        QCOMPARE(result.outcome, Outcome::Failed);

        // Known to be offline: no request at all.
        HttpResponder server;
        server.answer("/update.txt", HttpResponder::response(200, describe("\"2.0\"")));
        UpdateCheckOptions offline = optionsFor(server.url());
        offline.isDisconnected = [] { return true; };
        result = runCheck(offline);
        QCOMPARE(result.outcome, Outcome::Disconnected);
        QTest::qWait(100);
        QCOMPARE(server.connections(), 0);
    }

    void requestCarriesAgentAndAcceptAndRunsOnce() {
        HttpResponder server;
        server.answer("/update.txt", HttpResponder::response(200, describe("\"1.5.0.1\"")));
        UpdateCheck check(optionsFor(server.url()));
        QSignalSpy found(&check, &UpdateCheck::updateFound);
        QVERIFY(check.updateThreadProc());
        QVERIFY(!check.updateThreadProc());
        QTRY_COMPARE(found.count(), 1);
        QVERIFY(!check.updateThreadProc());
        QTest::qWait(100);
        QCOMPARE(server.connections(), 1);
        QCOMPARE(server.requests().size(), 1);
        const updatetest::ReceivedRequest& request = server.requests().first();
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.path, QByteArray("/update.txt"));
        QCOMPARE(request.headers.value("user-agent"), QByteArray("Quillmet@Update"));
        QCOMPARE(request.headers.value("accept"), QByteArray("*/*"));
    }

    void redirectsStayOnTheSameServer() {
        HttpResponder server;
        HttpResponder other;
        const QByteArray offer = HttpResponder::response(200, describe("\"1.5.0.1\""));
        other.answer("/update.txt", offer);
        server.answer("/moved.txt", offer);
        server.answer("/update.txt", HttpResponder::response(302, {}, "Location: /moved.txt\r\n"));
        server.answer("/away.txt", HttpResponder::response(
                                       302, {}, "Location: " + other.url().toEncoded() + "\r\n"));
        CheckResult result = runCheck(optionsFor(server.url()));
        QCOMPARE(result.offers, QStringList{"1.5.0.1"});
        result = runCheck(optionsFor(server.url("/away.txt")));
        QCOMPARE(result.outcome, Outcome::Failed);
        QVERIFY(result.offers.isEmpty());
        QCOMPARE(other.connections(), 0);
    }

    void settingsComeFromTheProgramsFile() {
        QCOMPARE(fennaro::programSettingsFile(), m_configHome + "/Quillmet/Fennaro.conf");
        // Nothing written: enabled, and the maker's address.
        QVERIFY(!QFile::exists(fennaro::programSettingsFile()));
        fennaro::UpdateSettings settings = fennaro::readUpdateSettings();
        QVERIFY(settings.enabled);
        QCOMPARE(fennaro::updateDescriptionUrl(settings).toString(),
                 QString("https://www.quillmet.example/download/update/quillmet_update.txt"));

        // Switched off in the file: no connection is ever made, even with an
        // address that would answer.
        HttpResponder server;
        server.answer("/update.txt", HttpResponder::response(200, describe("\"2.0\"")));
        QVERIFY(QDir().mkpath(m_configHome + "/Quillmet"));
        const auto writeFile = [](const QByteArray& text) {
            QFile file(fennaro::programSettingsFile());
            return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(text) == text.size();
        };
        QVERIFY(writeFile("[update]\nenabled=false\nurl=" + server.url().toEncoded() + "\n"));
        UpdateCheckOptions options = fennaro::programUpdateCheckOptions();
        QVERIFY(!options.enabled);
        QCOMPARE(options.url, server.url());
        QCOMPARE(options.programVersion, QByteArray("1.5.0.0"));
        QCOMPARE(runCheck(options).outcome, Outcome::Disabled);
        QTest::qWait(100);
        QCOMPARE(server.connections(), 0);

        // Other spellings of "off", and addresses that are not web addresses.
        for (const char* off : {"0", "No", " OFF "}) {
            QSettings file(fennaro::programSettingsFile(), QSettings::IniFormat);
            file.setValue("update/enabled", off);
            file.sync();
            QVERIFY2(!fennaro::readUpdateSettings(file).enabled, off);
        }
        QVERIFY(writeFile("[update]\nenabled=yes\nurl=file:///etc/passwd\n"));
        options = fennaro::programUpdateCheckOptions();
        QVERIFY(options.enabled);
        QVERIFY(options.url.isEmpty());
        QCOMPARE(runCheck(options).outcome, Outcome::Failed);
        // A file of junk reads as no settings at all.
        QVERIFY(writeFile(QByteArray("\0\xff[update\nenabled\n=\x01\n", 20) +
                          QByteArray(5000, '\xfe')));
        settings = fennaro::readUpdateSettings();
        QVERIFY(settings.enabled);
        QVERIFY(settings.url.isEmpty());
        // The system's connection check loads whatever backend this machine
        // has; its answer depends on the machine, only that it answers counts.
        QVERIFY(options.isDisconnected);
        options.isDisconnected();
        for (const char* bad : {"not an address", "http://", "ftp://127.0.0.1/x"}) {
            fennaro::UpdateSettings s;
            s.url = bad;
            QVERIFY2(fennaro::updateDescriptionUrl(s).isEmpty(), bad);
        }
        QFile::remove(fennaro::programSettingsFile());
    }

    void ownerGoneWhileTheRequestRuns() {
        HttpResponder silent;
        auto owner = std::make_unique<QObject>();
        QObject observer;
        bool heard = false;
        QPointer<UpdateCheck> check = new UpdateCheck(optionsFor(silent.url()), owner.get());
        connect(check, &UpdateCheck::updateFound, &observer, [&] { heard = true; });
        connect(check, &UpdateCheck::finished, &observer, [&] { heard = true; });
        QVERIFY(check->updateThreadProc());
        QTRY_COMPARE(silent.requests().size(), 1);
        owner.reset();
        QVERIFY(check.isNull());
        // The connection is dropped at once, not left to the time limit.
        QTRY_COMPARE(silent.closedByPeer(), 1);
        QTest::qWait(100);
        QVERIFY(!heard);
    }
};

// Points the user's configuration folder at a fresh temporary one before
// anything reads settings, and keeps proxies out of the loopback tests.
int main(int argc, char** argv) {
    QTemporaryDir configHome;
    if (!configHome.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    for (const char* name :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
        qunsetenv(name);
    QCoreApplication app(argc, argv);
    UpdateCheckTests tests(configHome.path());
    return QTest::qExec(&tests, argc, argv);
}

#include "update_check_tests.moc"
