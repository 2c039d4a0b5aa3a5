// SPDX-License-Identifier: MIT
#pragma once

// Shared set-up of the window tests: one QApplication on the offscreen
// platform, a home folder of the test's own (settings, store) and a few
// helpers to read what a window shows.

#include "store/CompressionLog.h"
#include "store/ModelContainer.h"
#include "store/Uuid.h"
#include "support/EventLoopWait.h"
#include "support/CoreApplication.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include <chrono>
#include <ostream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Readable failure messages for Qt texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << '[' << texts.join(QStringLiteral("\", \"")).toStdString() << ']';
}
QT_END_NAMESPACE

namespace kelvane::ui::test {

inline QApplication& application()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app =
        new QApplication(kelvane::test::testArguments().argc, kelvane::test::testArguments().argv);
    return *app;
}

inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    application();
    return kelvane::test::runEventsUntil(condition, timeout);
}

// A test with its own home, settings and store.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        dir_.useAsHome();
        container_ = store::ModelContainer::open({dir_.path() / "store.sqlite"});
    }

    std::shared_ptr<store::CompressionLog> addLog(const std::string& path, std::int64_t before, std::int64_t after,
                                                  const std::string& operation = "compress", bool success = true,
                                                  std::optional<std::string> error = std::nullopt,
                                                  int minutesAgo = 0)
    {
        auto log = std::make_shared<store::CompressionLog>(
            store::Uuid::random(), std::chrono::system_clock::now() - std::chrono::minutes(minutesAgo), operation,
            path, before, after, "LZFSE", 12, success, std::move(error));
        container_->mainContext().insert(log);
        container_->mainContext().save();
        return log;
    }

    kelvane::test::TempDir dir_;
    std::shared_ptr<store::ModelContainer> container_;
};

// Clicks a check box or radio button on its indicator (its middle may lie
// beside the text, where a click does nothing).
inline void clickIndicator(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// Every label text under `root`, in widget order.
inline QStringList labelTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

}  // namespace kelvane::ui::test
