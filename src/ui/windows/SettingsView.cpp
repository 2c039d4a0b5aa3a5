// SPDX-License-Identifier: MIT
#include "ui/windows/SettingsView.h"

#include "operations/bulk/MemoryMonitor.h"
#include "display/Formatters.h"
#include "display/RatioDisplayMode.h"
#include "operations/windows/SettingsModel.h"
#include "ui/common/Shell.h"
#include "ui/common/Symbols.h"
#include "ui/common/WindowKeys.h"
#include "ui/common/PageParts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace kelvane::ui {

using operations::SettingsModel;
using operations::UserSetting;
using platform::NotificationAuthorizationStatus;

namespace {

QLabel* caption(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(page::font(page::FontRole::caption));
    label->setStyleSheet(page::colorCss(page::secondaryColor()));
    return label;
}

QLabel* value(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// A grouped form: titled sections stacked from the top.
class FormPage : public QWidget {
public:
    FormPage()
    {
        layout_ = new QVBoxLayout(this);
        layout_->setContentsMargins(16, 12, 16, 12);
        layout_->setSpacing(10);
    }
    QFormLayout* section(const QString& title)
    {
        auto* box = new QGroupBox(title);
        auto* form = new QFormLayout(box);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        form->setLabelAlignment(Qt::AlignLeft);
        layout_->addWidget(box);
        return form;
    }
    void finish() { layout_->addStretch(); }

protected:
    QVBoxLayout* layout_;
};

// ---------------------------------------------------------------- display

class DisplaySettingsTab final : public FormPage {
public:
    explicit DisplaySettingsTab(SettingsModel& model)
    {
        auto* form = section(QStringLiteral("圧縮率の表記"));
        auto* group = new QButtonGroup(this);
        for (const auto mode : display::RatioDisplayMode::allCases) {
            auto* option = new QRadioButton(display::RatioDisplayMode(mode).explanation());
            option->setObjectName(display::RatioDisplayMode(mode).rawValue());
            group->addButton(option);
            form->addRow(option);
            connect(option, &QRadioButton::toggled, this, [&model, mode](bool on) {
                if (on)
                    model.setRatioDisplayMode(mode);
            });
        }
        // Shows what is stored: the choice, or what stayed after a failed write.
        const auto show = [&model, group] {
            const QString stored = model.ratioDisplayMode().rawValue();
            for (QAbstractButton* each : group->buttons()) {
                const QSignalBlocker quiet(each);
                each->setChecked(each->objectName() == stored);
            }
        };
        show();
        connect(&model, &SettingsModel::changed, this, [show](UserSetting setting) {
            if (setting == UserSetting::ratioDisplayMode)
                show();
        });
        connect(&model, &SettingsModel::saveFailed, this, [show](UserSetting setting) {
            if (setting == UserSetting::ratioDisplayMode)
                show();
        });
        finish();
    }
};

// ---------------------------------------------------------------- algorithm

class AlgorithmSettingsTab final : public FormPage {
public:
    AlgorithmSettingsTab()
    {
        auto* inUse = section(QStringLiteral("使用中のアルゴリズム"));
        auto* algorithm = new QWidget;
        auto* algorithmRow = new QHBoxLayout(algorithm);
        algorithmRow->setContentsMargins(0, 0, 0, 0);
        algorithmRow->setSpacing(6);
        algorithmRow->addStretch();
        algorithmRow->addWidget(new QLabel(QStringLiteral("LZFSE")));
        algorithmRow->addWidget(page::badge(QStringLiteral("自動")));
        inUse->addRow(QStringLiteral("圧縮アルゴリズム"), algorithm);
        inUse->addRow(QStringLiteral("インライン → リソースフォーク切替"), value(QStringLiteral("uncompressed_size > 16 KiB")));
        inUse->addRow(QStringLiteral("xattr 上限"), value(QStringLiteral("3,802 バイト")));
        inUse->addRow(QStringLiteral("チャンクサイズ"), value(QStringLiteral("64 KiB")));

        auto* choices = section(QStringLiteral("選択可能なアルゴリズム"));
        struct Entry {
            const char* name;
            bool used;
            bool available;
            const char* description;
        };
        const Entry entries[] = {
            {"LZFSE", true, true, "Apple Silicon に最適化。圧縮率と速度のバランスが良く、Apple 自身も macOS バイナリで採用。"},
            {"ZLIB", false, false, "より高い圧縮率。速度はやや遅い。テキスト中心のデータ向け。"},
            {"LZVN", false, false, "圧縮率は控えめだが超高速。古い macOS 互換性を重視する場合。"},
            {"LZBitmap", false, false, "特殊用途（Big Sur 以降）。スパースなビットマップ系データ向け。"},
        };
        for (const Entry& entry : entries)
            choices->addRow(algorithmEntry(entry.name, entry.used, entry.available, QString::fromUtf8(entry.description)));

        layout_->addWidget(caption(QStringLiteral("現在は LZFSE 自動選択のみで、Apple Silicon 環境では実用上ほぼ最適です。"
                                                  "アルゴリズム手動選択 / ファイル種別ごとの自動切替は将来のリリースで提供予定です。")));
        finish();
    }

private:
    static QWidget* algorithmEntry(const QString& name, bool used, bool available, const QString& description)
    {
        auto [entry, column] = page::namedBox(QStringLiteral("algorithm:") + name, QBoxLayout::TopToBottom,
                                               {0, 2, 0, 2}, 4);
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        QLabel* mark = ui::symbolLabel(used        ? u"checkmark.circle.fill"
                                       : available ? u"circle"
                                                   : u"circle.dotted",
                                       used ? page::tintColor() : page::secondaryColor(), 16);
        mark->setObjectName(QStringLiteral("mark"));
        auto* title = new QLabel(name);
        QFont font = page::font(page::FontRole::body);
        font.setWeight(used ? QFont::DemiBold : QFont::Normal);
        title->setFont(font);
        row->addWidget(mark);
        row->addWidget(title);
        row->addStretch();
        if (used) {
            auto* tag = new QLabel(QStringLiteral("使用中"));
            tag->setObjectName(QStringLiteral("tag"));
            tag->setFont(page::font(page::FontRole::caption));
            tag->setStyleSheet(QStringLiteral("color: #2e9d48;"));
            row->addWidget(tag);
        } else if (!available) {
            auto* tag = caption(QStringLiteral("将来対応予定"));
            tag->setObjectName(QStringLiteral("tag"));
            tag->setWordWrap(false);
            row->addWidget(tag);
        }
        column->addLayout(row);
        auto* text = caption(description);
        text->setContentsMargins(24, 0, 0, 0);
        column->addWidget(text);
        return entry;
    }
};

// ---------------------------------------------------------------- compression

class CompressionSettingsTab final : public FormPage {
public:
    CompressionSettingsTab()
    {
        auto* sizes = section(QStringLiteral("ファイルサイズの扱い"));
        sizes->addRow(QStringLiteral("対応サイズ"), value(QStringLiteral("1 ファイルあたり 2 GB まで")));
        sizes->addRow(caption(QStringLiteral("macOS の透過圧縮（decmpfs）形式の仕様上の上限です。2 GB を超えるファイルは"
                                             "自動的にスキップされ、完了ダイアログに件数が表示されます。")));
        auto* memory = section(QStringLiteral("メモリ使用量"));
        for (const char* text : {"16 MiB 以上のファイルはストリーミング処理（64 KiB チャンク単位）で圧縮・解除するため、"
                                 "メモリ消費はファイルサイズによらずほぼ一定です。",
                                 "16 MiB 未満の小さいファイルはメモリ上で一括処理します（最大 8 並列でも合計数百 MB 程度）。",
                                 "圧縮中はメモリ使用量・空き・搭載をリアルタイム監視して進捗シートに表示します。"})
            memory->addRow(caption(QString::fromUtf8(text)));
        auto* machine = section(QStringLiteral("マシン構成"));
        const std::uint64_t installed = operations::MemoryMonitor::physicalMemoryBytes();
        auto* memoryValue = value(display::formatBytes(display::signedByteCount(installed)));
        memoryValue->setObjectName(QStringLiteral("installedMemory"));
        machine->addRow(QStringLiteral("搭載メモリ"), memoryValue);
        finish();
    }
};

// ---------------------------------------------------------------- notifications

class NotificationSettingsTab final : public FormPage {
public:
    NotificationSettingsTab(SettingsModel& model, platform::NotificationCenter& center, Shell& shell)
        : model_(model), center_(center), shell_(shell)
    {
        auto* reminder = section(QStringLiteral("月次リマインダー"));
        toggle_ = new QCheckBox(QStringLiteral("1 ヶ月アプリを起動しなかったら通知"));
        toggle_->setObjectName(QStringLiteral("weeklyReminderEnabled"));
        toggle_->setChecked(model_.weeklyReminderEnabled());
        reminder->addRow(toggle_);
        reminder->addRow(caption(QStringLiteral("登録項目が 1 件以上あるときのみ通知します。ビルドのやり直し等で再圧縮が"
                                                "必要になったファイルを、月 1 回見直す目安として使えます。")));
        connect(toggle_, &QCheckBox::toggled, this, [this](bool on) {
            showStatus(center_.authorizationStatus());
            model_.setWeeklyReminderEnabled(on);
            showStatus(center_.authorizationStatus());
        });
        const auto follow = [this](UserSetting setting) {
            if (setting != UserSetting::weeklyReminderEnabled)
                return;
            const QSignalBlocker blocker(toggle_);
            toggle_->setChecked(model_.weeklyReminderEnabled());
        };
        connect(&model_, &SettingsModel::changed, this, follow);
        connect(&model_, &SettingsModel::saveFailed, this, follow);

        auto* permission = section(QStringLiteral("システム権限"));
        status_ = value(SettingsView::authorizationText(authStatus_));
        status_->setObjectName(QStringLiteral("authorizationStatus"));
        permission->addRow(QStringLiteral("通知の許可"), status_);
        deniedNote_ = caption(QStringLiteral("通知が拒否されています。システム設定 > 通知 > Kelvane で許可してください。"));
        deniedNote_->setObjectName(QStringLiteral("deniedNote"));
        openSettings_ = new QPushButton(QStringLiteral("システム設定を開く"));
        connect(openSettings_, &QPushButton::clicked, this, [this] {
            shell_.openUrl(QUrl(QStringLiteral("x-apple.systempreferences:com.apple.preference.notifications")));
        });
        permission->addRow(deniedNote_);
        permission->addRow(openSettings_);
        finish();
        showStatus(authStatus_);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        FormPage::showEvent(event);
        showStatus(center_.authorizationStatus());
    }

private:
    void showStatus(NotificationAuthorizationStatus status)
    {
        authStatus_ = status;
        status_->setText(SettingsView::authorizationText(status));
        const bool denied = status == NotificationAuthorizationStatus::denied;
        deniedNote_->setVisible(denied);
        openSettings_->setVisible(denied);
    }

    SettingsModel& model_;
    platform::NotificationCenter& center_;
    Shell& shell_;
    NotificationAuthorizationStatus authStatus_ = NotificationAuthorizationStatus::notDetermined;
    QCheckBox* toggle_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* deniedNote_ = nullptr;
    QPushButton* openSettings_ = nullptr;
};

// ---------------------------------------------------------------- history retention

// A number with − and + buttons; a press moves it by its step within the
// range, and a value stored out of range is shown as it is.
class RetentionStepper final : public QWidget {
public:
    RetentionStepper(SettingsModel& model, SettingsModel::Retention retention, UserSetting setting, QString unit)
        : model_(model), retention_(retention), unit_(std::move(unit))
    {
        setObjectName(QString::fromLatin1(setting == UserSetting::logRetentionDays ? "logRetentionDays"
                                                                                   : "logRetentionMaxCount"));
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        value_ = new QLabel;
        value_->setObjectName(QStringLiteral("value"));
        value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        down_ = new QToolButton;
        down_->setObjectName(QStringLiteral("decrement"));
        down_->setText(QStringLiteral("−"));
        up_ = new QToolButton;
        up_->setObjectName(QStringLiteral("increment"));
        up_->setText(QStringLiteral("+"));
        // The signs say nothing to a screen reader.
        const auto step = static_cast<long long>(SettingsModel::range(retention_).step);
        const QString by = QString::asprintf("%lld", step) + unit_;
        down_->setAccessibleName(QStringLiteral("減らす"));
        down_->setToolTip(by + QStringLiteral(" 減らす"));
        up_->setAccessibleName(QStringLiteral("増やす"));
        up_->setToolTip(by + QStringLiteral(" 増やす"));
        row->addStretch();
        row->addWidget(value_);
        row->addWidget(down_);
        row->addWidget(up_);
        connect(down_, &QToolButton::clicked, this, [this] { model_.stepRetention(retention_, -1); });
        connect(up_, &QToolButton::clicked, this, [this] { model_.stepRetention(retention_, +1); });
        connect(&model_, &SettingsModel::changed, this, [this, setting](UserSetting changed) {
            if (changed == setting)
                show();
        });
        show();
    }

private:
    void show()
    {
        value_->setText(QString::asprintf("%lld", static_cast<long long>(model_.retention(retention_))) + unit_);
        down_->setEnabled(model_.canStep(retention_, -1));
        up_->setEnabled(model_.canStep(retention_, +1));
    }

    SettingsModel& model_;
    SettingsModel::Retention retention_;
    QString unit_;
    QLabel* value_ = nullptr;
    QToolButton* down_ = nullptr;
    QToolButton* up_ = nullptr;
};

class LogSettingsTab final : public FormPage {
public:
    explicit LogSettingsTab(SettingsModel& model)
    {
        auto* retention = section(QStringLiteral("履歴の保持"));
        retention->addRow(QStringLiteral("保持期間"),
                          new RetentionStepper(model, SettingsModel::Retention::days, UserSetting::logRetentionDays,
                                               QStringLiteral(" 日")));
        retention->addRow(QStringLiteral("最大件数"),
                          new RetentionStepper(model, SettingsModel::Retention::maxCount,
                                               UserSetting::logRetentionMaxCount, QStringLiteral(" 件")));
        layout_->addWidget(caption(QStringLiteral("いずれかが先に達すると古いログから自動的に削除されます。")));
        finish();
    }
};

}  // namespace

QString SettingsView::authorizationText(NotificationAuthorizationStatus status)
{
    switch (status) {
    case NotificationAuthorizationStatus::notDetermined: return QStringLiteral("未確認");
    case NotificationAuthorizationStatus::denied: return QStringLiteral("拒否");
    case NotificationAuthorizationStatus::authorized: return QStringLiteral("許可済み");
    case NotificationAuthorizationStatus::provisional: return QStringLiteral("暫定許可");
    case NotificationAuthorizationStatus::ephemeral: return QStringLiteral("一時");
    }
    return QStringLiteral("不明");
}

SettingsView::SettingsView(platform::Settings& settings, platform::NotificationCenter& notifications,
                           Reschedule reschedule, Shell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(new SettingsModel(settings, std::move(reschedule), this))
{
    setWindowTitle(QStringLiteral("設定"));
    connect(model_, &SettingsModel::saveFailed, this, &SettingsView::tellNotSaved);
    installWindowKeys(this, EscapeKey::closes);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget;
    tabs_->setFixedSize(560, 420);
    auto add = [&](QWidget* tab, const char* title, const char* symbol) {
        // A form taller than the fixed window scrolls instead of being cut.
        auto* area = new QScrollArea;
        // The page follows the viewport's width and wraps its captions.
        tab->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        area->setWidget(tab);
        area->setWidgetResizable(true);
        area->setFrameShape(QFrame::NoFrame);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        tabs_->addTab(area, ui::symbolIcon(QString::fromLatin1(symbol)), QString::fromUtf8(title));
    };
    add(new DisplaySettingsTab(*model_), "表示", "eye");
    add(new AlgorithmSettingsTab, "アルゴリズム", "rectangle.compress.vertical");
    add(new CompressionSettingsTab, "圧縮", "archivebox");
    add(new NotificationSettingsTab(*model_, notifications, shell), "通知", "bell");
    add(new LogSettingsTab(*model_), "ログ", "clock.arrow.circlepath");
    layout->addWidget(tabs_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

// The change was not made; the controls already show what is stored.
void SettingsView::tellNotSaved()
{
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("設定を保存できませんでした"),
                                  QStringLiteral("設定を保存できませんでした。変更は反映されていません。"),
                                  QMessageBox::Ok, window());
    alert->setObjectName(QStringLiteral("settingNotSaved"));
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(QStringLiteral("保存先: ") + model_->fileName());
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
}

}  // namespace kelvane::ui
