// SPDX-License-Identifier: MIT
// The keeper mounts through the user manager's kelvanefs@ unit over D-Bus
// when that unit runs the same kelvanefs, and removes it the same way. The
// manager here is a stand-in on a private bus that starts kelvanefs as the
// unit would and records every call.

#include "operations/MountKeeperFixture.h"

#include "platform/ChildProcess.h"
#include "platform/SystemdEscape.h"
#include "support/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMutex>
#include <QThread>

namespace kelvane::operations {
namespace {

using fs::test::Path;
using discovery::ItemKind;

class FakeUnit : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Unit")
    Q_PROPERTY(QString LoadState READ loadState)
    Q_PROPERTY(QString FragmentPath READ fragmentPath)
    Q_PROPERTY(QString ActiveState READ activeState)
public:
    QString loadState() const { return QStringLiteral("loaded"); }
    QString fragmentPath() const { return fragment; }
    QString activeState() const
    {
        QMutexLocker lock(&mutex);
        return state;
    }

    QString fragment;
    mutable QMutex mutex;
    QString state = QStringLiteral("inactive");
};

// The Manager methods the keeper calls; each call is recorded as
// "Method unit".
class FakeManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Manager")
public:
    FakeManager(FakeUnit& unit, Path folder, bool unitStarts) : unit_(unit), folder_(std::move(folder)), starts_(unitStarts) {}

    QStringList calls() const
    {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

public slots:
    QDBusObjectPath LoadUnit(const QString& name)
    {
        record("LoadUnit " + name);
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/unit/kelvanefs"));
    }
    QString GetUnitFileState(const QString& name)
    {
        record("GetUnitFileState " + name);
        QMutexLocker lock(&mutex_);
        return enabled_ ? QStringLiteral("enabled") : QStringLiteral("disabled");
    }
    bool EnableUnitFiles(const QStringList& names, bool runtime, bool force)
    {
        record("EnableUnitFiles " + names.join(' ') + (runtime ? " runtime" : "") + (force ? " force" : ""));
        QMutexLocker lock(&mutex_);
        enabled_ = true;
        return true;
    }
    void DisableUnitFiles(const QStringList& names, bool runtime)
    {
        record("DisableUnitFiles " + names.join(' ') + (runtime ? " runtime" : ""));
        QMutexLocker lock(&mutex_);
        enabled_ = false;
    }
    void Reload() { record(QStringLiteral("Reload")); }
    QDBusObjectPath StartUnit(const QString& name, const QString& mode)
    {
        record("StartUnit " + name + " " + mode);
        // As the unit's ExecStart would, but returning once mounted.
        const bool mounted = starts_ && platform::runChild({fs::test::kKelvanefs.string(), folder_.string()},
                                                           std::chrono::seconds(30)).succeeded();
        QMutexLocker lock(&unit_.mutex);
        unit_.state = mounted ? QStringLiteral("active") : QStringLiteral("failed");
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/job/1"));
    }
    QDBusObjectPath StopUnit(const QString& name, const QString& mode)
    {
        record("StopUnit " + name + " " + mode);
        platform::runChild({"fusermount3", "-u", folder_.string()}, std::chrono::seconds(30));
        QMutexLocker lock(&unit_.mutex);
        unit_.state = QStringLiteral("inactive");
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/job/2"));
    }

private:
    void record(const QString& call)
    {
        QMutexLocker lock(&mutex_);
        calls_.push_back(call);
    }

    FakeUnit& unit_;
    Path folder_;
    bool starts_;
    mutable QMutex mutex_;
    QStringList calls_;
    bool enabled_ = false;
};

class MountKeeperUserUnitTest : public test::MountKeeperFixture {
protected:
    void SetUp() override
    {
        MountKeeperFixture::SetUp();
        if (IsSkipped())
            return;
        if (bus_.address().isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed or did not start";
        settings_.userBus = bus_.address().toStdString();
        settings_.wait = std::chrono::seconds(30);
    }

    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(serverName());
        if (thread_.isRunning()) {
            thread_.quit();
            thread_.wait();
        }
        if (fs::test::isKelvanefsMountAt(folder()))
            fs::test::runProgram({"fusermount3", "-u", "-z", folder().string()});
        MountKeeperFixture::TearDown();
    }

    // Serves the stand-in on its own thread (the keeper blocks on its answers).
    void startManager(const std::string& execStart, bool unitStarts)
    {
        const Path unitFile = temp_.path() / "kelvanefs@.service";
        std::ofstream(unitFile) << "[Service]\nExecStart=" << execStart << " -f -o auto_unmount %f\n";
        unit_.fragment = QString::fromStdString(unitFile.string());
        manager_ = std::make_unique<FakeManager>(unit_, folder(), unitStarts);
        unit_.moveToThread(&thread_);
        manager_->moveToThread(&thread_);
        thread_.start();
        QDBusConnection server = QDBusConnection::connectToBus(bus_.address(), serverName());
        ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/systemd1"), manager_.get(),
                                          QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/systemd1/unit/kelvanefs"), &unit_,
                                          QDBusConnection::ExportAllProperties));
        ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.systemd1")));
    }

    // A connection name is kept for the process: one per test's bus.
    QString serverName() const { return QStringLiteral("fake-user-manager ") + bus_.address(); }
    QString unitName() const { return QString::fromStdString(platform::kelvanefsUnitName(folder())); }

    kelvane::test::PrivateSessionBus bus_;
    QThread thread_;
    FakeUnit unit_;
    std::unique_ptr<FakeManager> manager_;
};

TEST_F(MountKeeperUserUnitTest, TheUnitIsEnabledAndStartedAndLaterStoppedAndDisabled)
{
    startManager(fs::test::kKelvanefs.string(), true);
    const MountKeeper keeper(settings_);
    const MountOutcome outcome = keeper.ensureServed(folder(), ItemKind::folder);
    ASSERT_EQ(outcome, MountOutcome(MountServed{folder()}))
        << (std::holds_alternative<MountRefusal>(outcome) ? std::get<MountRefusal>(outcome).text() : "");
    const QStringList started = manager_->calls();
    EXPECT_TRUE(started.contains("EnableUnitFiles " + unitName())) << started.join(", ").toStdString();
    EXPECT_TRUE(started.contains("StartUnit " + unitName() + " replace")) << started.join(", ").toStdString();
    EXPECT_LT(started.indexOf("EnableUnitFiles " + unitName()), started.indexOf(QStringLiteral("Reload")));
    EXPECT_LT(started.indexOf(QStringLiteral("Reload")), started.indexOf("StartUnit " + unitName() + " replace"));

    EXPECT_EQ(keeper.releaseIfUnneeded({folder(), ItemKind::folder}, {}), MountRelease::removed);
    const QStringList stopped = manager_->calls().mid(started.size());
    EXPECT_TRUE(stopped.contains("StopUnit " + unitName() + " replace")) << stopped.join(", ").toStdString();
    EXPECT_TRUE(stopped.contains("DisableUnitFiles " + unitName())) << stopped.join(", ").toStdString();
    EXPECT_FALSE(fs::test::isKelvanefsMountAt(folder()));
}

TEST_F(MountKeeperUserUnitTest, AUnitRunningAnotherKelvanefsIsLeftAlone)
{
    startManager("/usr/bin/kelvanefs", true);
    EXPECT_EQ(MountKeeper(settings_).ensureServed(folder(), ItemKind::folder), MountOutcome(MountServed{folder()}));
    for (const QString& call : manager_->calls())
        EXPECT_FALSE(call.startsWith(QStringLiteral("EnableUnitFiles")) || call.startsWith(QStringLiteral("StartUnit")))
            << call.toStdString() << ": Kelvane run from its build folder starts its own kelvanefs";
    ASSERT_EQ(fs::test::runProgram({"fusermount3", "-u", folder().string()}), 0);
}

TEST_F(MountKeeperUserUnitTest, AUnitThatFailsIsARefusalNamingIt)
{
    startManager(fs::test::kKelvanefs.string(), false);
    const MountOutcome outcome = MountKeeper(settings_).ensureServed(folder(), ItemKind::folder);
    ASSERT_TRUE(std::holds_alternative<MountRefusal>(outcome));
    const MountRefusal& refusal = std::get<MountRefusal>(outcome);
    EXPECT_EQ(refusal.kind, MountRefusal::Kind::mountFailed);
    EXPECT_NE(refusal.text().find("journalctl --user -u " + unitName().toStdString()), std::string::npos)
        << refusal.text();
    EXPECT_FALSE(fs::test::isKelvanefsMountAt(folder()));
}

}  // namespace
}  // namespace kelvane::operations

#include "MountKeeperUserUnitTest.moc"
