// SPDX-License-Identifier: MIT
#pragma once

// Shared set-up of the sheet tests: an offscreen application, waiting on a
// condition while the event loop runs, a home folder of the test's own with a
// store in it, and finding widgets by object name or text.

#include "discovery/SecurityScopedBookmark.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "support/EventLoopWait.h"
#include "support/TempDir.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kelvane::ui::sheets::test {

inline QApplication& application() { return kelvane::test::widgetApplication(); }

inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    application();
    return kelvane::test::runEventsUntil(condition, timeout);
}

template <class T = QWidget>
T* child(const QWidget* parent, const char* objectName)
{
    return parent->findChild<T*>(QString::fromLatin1(objectName));
}

// The visible button with this object name, or null.
inline QAbstractButton* button(const QWidget* parent, const char* objectName)
{
    for (QAbstractButton* candidate : parent->findChildren<QAbstractButton*>(QString::fromLatin1(objectName)))
        if (candidate->isVisibleTo(const_cast<QWidget*>(parent)))
            return candidate;
    return nullptr;
}

// Whether some visible label shows exactly this text.
inline bool showsLabel(const QWidget* parent, const QString& text)
{
    for (QLabel* label : parent->findChildren<QLabel*>())
        if (label->text() == text && label->isVisibleTo(const_cast<QWidget*>(parent)))
            return true;
    return false;
}

// Notes whether `watched` received an event of `type`.
class EventWatch final : public QObject {
public:
    EventWatch(QObject* parent, QEvent::Type type, bool& seen) : QObject(parent), type_(type), seen_(seen) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_)
            seen_ = true;
        return false;
    }

private:
    QEvent::Type type_;
    bool& seen_;
};

// What minimising a window and restoring it does to it: the system hides it
// and shows it again (spontaneous events), its children with it.
inline void minimiseAndRestore(QWidget* window)
{
    window->setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    window->setWindowState(Qt::WindowNoState);
    QCoreApplication::processEvents();
}

// A test home folder (HOME and XDG folders) with a store in it.
class HomeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        home_.useAsHome();
        container_ = store::ModelContainer::open({home_.path() / ".local/share/store.sqlite"});
    }

    // `path` registered in the store as a file, or as a folder with its subfolders.
    void registerItem(const std::filesystem::path& path, bool isFolder)
    {
        auto item = std::make_shared<store::RegisteredItem>(
            store::Uuid::random(), discovery::SecurityScopedBookmark::createBookmark(path), isFolder ? "folder" : "file",
            isFolder, std::chrono::system_clock::now(), path.filename().string());
        container_->mainContext().insert(item);
        container_->mainContext().save();
    }

    kelvane::test::TempDir home_;
    std::shared_ptr<store::ModelContainer> container_;
};

}  // namespace kelvane::ui::sheets::test
