// SPDX-License-Identifier: MIT
#include "platform/qt/SystemdUserUnits.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStringList>

#include <fstream>

namespace kelvane::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.systemd1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kManager = QStringLiteral("org.freedesktop.systemd1.Manager");
constexpr int kCallLimitMs = 10'000;

QDBusMessage managerCall(const QString& method) { return QDBusMessage::createMethodCall(kService, kManagerPath, kManager, method); }

std::string errorText(const QDBusMessage& reply)
{
    return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
}

}  // namespace

SystemdUserUnits::SystemdUserUnits() : bus_(QDBusConnection::sessionBus()) {}

SystemdUserUnits::SystemdUserUnits(QDBusConnection bus) : bus_(std::move(bus)) {}

bool SystemdUserUnits::available() const
{
    return bus_.isConnected() && bus_.interface() && bus_.interface()->isServiceRegistered(kService).value();
}

std::optional<std::string> SystemdUserUnits::unitFileState(const std::string& unit) const
{
    QDBusMessage call = managerCall(QStringLiteral("GetUnitFileState"));
    call << QString::fromStdString(unit);
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallLimitMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst().toString().toStdString();
}

namespace {

std::optional<QVariant> unitProperty(const QDBusConnection& bus, const std::string& unit, const QString& name)
{
    QDBusMessage load = managerCall(QStringLiteral("LoadUnit"));
    load << QString::fromStdString(unit);
    const QDBusMessage loaded = bus.call(load, QDBus::Block, kCallLimitMs);
    if (loaded.type() != QDBusMessage::ReplyMessage || loaded.arguments().isEmpty())
        return std::nullopt;
    const QString path = loaded.arguments().constFirst().value<QDBusObjectPath>().path();
    QDBusMessage get = QDBusMessage::createMethodCall(kService, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.systemd1.Unit") << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, kCallLimitMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

}  // namespace

std::optional<std::filesystem::path> SystemdUserUnits::unitFile(const std::string& unit) const
{
    const auto loadState = unitProperty(bus_, unit, QStringLiteral("LoadState"));
    if (!loadState || loadState->toString() != QStringLiteral("loaded"))
        return std::nullopt;
    const auto fragment = unitProperty(bus_, unit, QStringLiteral("FragmentPath"));
    if (!fragment || fragment->toString().isEmpty())
        return std::nullopt;
    return std::filesystem::path(fragment->toString().toStdString());
}

std::optional<std::string> SystemdUserUnits::activeState(const std::string& unit) const
{
    const auto state = unitProperty(bus_, unit, QStringLiteral("ActiveState"));
    if (!state)
        return std::nullopt;
    return state->toString().toStdString();
}

std::optional<std::string> SystemdUserUnits::enableAndStart(const std::string& unit) const
{
    const QString name = QString::fromStdString(unit);
    QDBusMessage enable = managerCall(QStringLiteral("EnableUnitFiles"));
    enable << QStringList{name} << false << false;  // persistent, without replacing a foreign link
    QDBusMessage reply = bus_.call(enable, QDBus::Block, kCallLimitMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return "EnableUnitFiles " + unit + ": " + errorText(reply);
    // The new link is seen once the manager reads its units again.
    reply = bus_.call(managerCall(QStringLiteral("Reload")), QDBus::Block, kCallLimitMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return "Reload: " + errorText(reply);
    QDBusMessage start = managerCall(QStringLiteral("StartUnit"));
    start << name << QStringLiteral("replace");
    reply = bus_.call(start, QDBus::Block, kCallLimitMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return "StartUnit " + unit + ": " + errorText(reply);
    return std::nullopt;
}

std::optional<std::string> SystemdUserUnits::stopAndDisable(const std::string& unit) const
{
    const QString name = QString::fromStdString(unit);
    QDBusMessage stop = managerCall(QStringLiteral("StopUnit"));
    stop << name << QStringLiteral("replace");
    QDBusMessage reply = bus_.call(stop, QDBus::Block, kCallLimitMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return "StopUnit " + unit + ": " + errorText(reply);
    QDBusMessage disable = managerCall(QStringLiteral("DisableUnitFiles"));
    disable << QStringList{name} << false;
    reply = bus_.call(disable, QDBus::Block, kCallLimitMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return "DisableUnitFiles " + unit + ": " + errorText(reply);
    bus_.call(managerCall(QStringLiteral("Reload")), QDBus::Block, kCallLimitMs);
    return std::nullopt;
}

std::optional<std::filesystem::path> SystemdUserUnits::execStartProgram(const std::filesystem::path& unitFile)
{
    std::ifstream in(unitFile);
    std::string line;
    while (std::getline(in, line)) {
        constexpr std::string_view key = "ExecStart=";
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string_view command = std::string_view(line).substr(key.size());
        while (!command.empty() && std::string_view("-@:+! \t").find(command.front()) != std::string_view::npos)
            command.remove_prefix(1);
        const auto end = command.find_first_of(" \t");
        const std::string_view program = command.substr(0, end);
        if (program.empty())
            return std::nullopt;
        return std::filesystem::path(program);
    }
    return std::nullopt;
}

}  // namespace kelvane::platform
