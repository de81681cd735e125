// The real program when its folders cannot be set up: the message on stderr,
// exit status 1, and no window (it would wait for somebody to close it).

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void setAppFoldersFailureEndsWithStatusOne() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // The per-user settings store goes below a plain file: it cannot be
        // created, and nothing machine-wide is touched before that.
        QFile blocker(dir.path() + "/file");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        QProcessEnvironment env;
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", dir.path() + "/file/config");
        env.insert("XDG_RUNTIME_DIR", dir.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsSet("ASAN_OPTIONS")) {
            env.insert("ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS"));
        }
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QUORVET_PROGRAM, {});
        QVERIFY(program.waitForStarted(10000));
        if (!program.waitForFinished(30000)) {
            program.kill();
            program.waitForFinished(5000);
            QFAIL("the program kept running");
        }
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        const QByteArray err = program.readAllStandardError();
        QVERIFY2(err.contains("Error occured in SetAppFolders: "), err.constData());
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
