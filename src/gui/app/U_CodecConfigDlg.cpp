#include "app/U_CodecConfigDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <exception>

#include "platform/U_Shell.h"

TCodecConfigDlg::TCodecConfigDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("CodecConfigDlg");
    setWindowTitle("Codec Configuration");
    setFont(QFont("DejaVu Sans", 8));

    options_pnl = new QWidget(this);
    options_pnl->setObjectName("options_pnl");
    default_btn = new QPushButton("Defaults", this);
    default_btn->setObjectName("default_btn");
    ok_btn = new QPushButton("Ok", this);
    ok_btn->setObjectName("ok_btn");
    ok_btn->setDefault(true);
    cancel_btn = new QPushButton("Cancel", this);
    cancel_btn->setObjectName("cancel_btn");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(default_btn);
    buttons->addStretch();
    buttons->addWidget(ok_btn);
    buttons->addWidget(cancel_btn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options_pnl);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(360);

    connect(default_btn, &QPushButton::clicked, this, &TCodecConfigDlg::default_btnClick);
    connect(ok_btn, &QPushButton::clicked, this, [this] {
        if (StoreValues()) accept();
    });
    connect(cancel_btn, &QPushButton::clicked, this, &QDialog::reject);
}

bool TCodecConfigDlg::Execute() {
    if (FourCC.isEmpty()) return false;
    options_ = ReadCodecOptions(FourCC.toStdString());
    if (options_.empty()) return false;
    BuildEditors();
    ShowValues();
    adjustSize(); // fit the new codec's editors
    if (!editors_.empty()) editors_.front()->setFocus();
    return exec() == QDialog::Accepted;
}

void TCodecConfigDlg::BuildEditors() {
    // The editors belong to one codec: the previous codec's go with their panel.
    delete options_pnl->layout();
    qDeleteAll(options_pnl->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    editors_.clear();
    form_ = new QFormLayout(options_pnl);
    form_->setContentsMargins(0, 0, 0, 0);
    QWidget* previous = nullptr;
    for (std::size_t i = 0; i < options_.size(); ++i) {
        const TCodecOption& option = options_[i];
        const QString prefix = QString("opt%1").arg(i);
        QWidget* editor = nullptr;
        switch (option.Kind) {
        case TCodecOptionKind::Int: {
            auto* spin = new QSpinBox(options_pnl);
            spin->setRange(option.Min, option.Max);
            spin->setObjectName(prefix + "_txt");
            editor = spin;
            break;
        }
        case TCodecOptionKind::Bool:
            editor = new QCheckBox(options_pnl);
            editor->setObjectName(prefix + "_chk");
            break;
        case TCodecOptionKind::Choice: {
            auto* combo = new QComboBox(options_pnl);
            for (const std::string& choice : option.Choices)
                combo->addItem(QString::fromStdString(choice));
            combo->setObjectName(prefix + "_cmb");
            editor = combo;
            break;
        }
        }
        editor->setToolTip(QString::fromStdString(option.Hint));
        auto* label = new QLabel(QString::fromStdString(option.Name) + " :", options_pnl);
        label->setObjectName(prefix + "_lbl");
        label->setBuddy(editor);
        form_->addRow(label, editor);
        if (!option.Hint.empty()) {
            auto* hint = new QLabel(QString::fromStdString(option.Hint), options_pnl);
            hint->setObjectName(prefix + "_hint_lbl");
            hint->setWordWrap(true);
            hint->setEnabled(false);
            form_->addRow(QString(), hint);
        }
        if (previous) setTabOrder(previous, editor);
        previous = editor;
        editors_.push_back(editor);
    }
    if (previous) {
        setTabOrder(previous, ok_btn);
        setTabOrder(ok_btn, cancel_btn);
        setTabOrder(cancel_btn, default_btn);
    }
}

void TCodecConfigDlg::ShowValues() {
    for (std::size_t i = 0; i < options_.size(); ++i) {
        const int value = options_[i].Value;
        if (auto* spin = qobject_cast<QSpinBox*>(editors_[i])) spin->setValue(value);
        if (auto* check = qobject_cast<QCheckBox*>(editors_[i])) check->setChecked(value != 0);
        if (auto* combo = qobject_cast<QComboBox*>(editors_[i])) combo->setCurrentIndex(value);
    }
}

void TCodecConfigDlg::default_btnClick() {
    // Shown only: Ok stores them, Cancel leaves the stored values alone.
    for (TCodecOption& option : options_) option.Value = option.Default;
    ShowValues();
}

bool TCodecConfigDlg::StoreValues() {
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (auto* spin = qobject_cast<QSpinBox*>(editors_[i])) {
            spin->interpretText(); // a value still being typed counts, clamped into range
            options_[i].Value = spin->value();
        }
        if (auto* check = qobject_cast<QCheckBox*>(editors_[i]))
            options_[i].Value = check->isChecked() ? 1 : 0;
        if (auto* combo = qobject_cast<QComboBox*>(editors_[i]))
            options_[i].Value = combo->currentIndex();
    }
    try {
        if (WriteCodecOptions(FourCC.toStdString(), options_)) return true;
        ShowMessageBox(this, "Unable to save the codec settings", false, mkError);
    } catch (const std::exception& error) {
        ShowMessageBox(this, QString::fromStdString(error.what()), false, mkError);
    }
    return false;
}
