// The program's small dialogs: Expert Options, Settings, the about box and the codec's
// configuration and about boxes, against the real settings store and codec list.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include "app/U_AboutDlg.h"
#include "app/U_CodecAboutDlg.h"
#include "app/U_CodecConfigDlg.h"
#include "app/U_ExpertDlg.h"
#include "app/U_SettingsDlg.h"
#include "platform/U_Shell.h"
#include "platform/codec/U_Codecs.h"
#include "platform/os/U_Settings.h"
#include "video/U_ImageFile.h"

namespace {

void Key(QWidget* target, Qt::Key key) {
    QTest::keyClick(target, key);
}

// Calls `inside` once `dlg` is shown by `execute`; closes it afterwards if still open. Returns
// whether the dialog was ever shown.
template <class Run, class F> bool WhileOpen(QDialog& dlg, Run execute, F inside) {
    bool shown = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        shown = dlg.isVisible();
        inside();
        if (dlg.isVisible()) dlg.reject();
    });
    timer.start(0);
    execute();
    timer.stop();
    return shown;
}

class DialogsTest : public testing::Test {
protected:
    void SetUp() override {
        ShellHooks().MessageBox = [this](QWidget*, const QString& text, const QString&, bool, int) {
            Messages.push_back(text);
            return idOk;
        };
    }
    void TearDown() override { ResetShellHooks(); }
    std::vector<QString> Messages;
};

TEST_F(DialogsTest, ExpertStoresAutoRotateOnlyOnOk) {
    TExpertDlg dlg;
    EXPECT_EQ(dlg.objectName(), "ExpertDlg");
    EXPECT_EQ(dlg.windowTitle(), "Expert Options");
    EXPECT_EQ(dlg.autorotate_chk->text(), "Turn photos upright (EXIF)");
    WriteSetting("AutoRotate", "");

    bool result = true;
    // Nothing stored: on. Unchecked and closed with Escape: nothing stored, result false.
    EXPECT_TRUE(WhileOpen(
        dlg, [&] { result = dlg.Execute(); },
        [&] {
            EXPECT_TRUE(dlg.autorotate_chk->isChecked());
            dlg.autorotate_chk->setChecked(false);
            Key(dlg.autorotate_chk, Qt::Key_Escape);
        }));
    EXPECT_FALSE(result);
    EXPECT_EQ(ReadSetting("AutoRotate"), "");

    // Ok stores it where picture loading reads it, and the next opening shows it.
    dlg.sng_chk->setChecked(true);
    WhileOpen(
        dlg, [&] { result = dlg.Execute(); },
        [&] {
            dlg.autorotate_chk->setChecked(false);
            dlg.ok_btn->click();
        });
    EXPECT_TRUE(result);
    EXPECT_TRUE(dlg.sng_chk->isChecked());
    EXPECT_EQ(ReadSetting("AutoRotate"), "0");
    EXPECT_FALSE(ReadAutoRotateSetting());

    WhileOpen(
        dlg, [&] { result = dlg.Execute(); },
        [&] {
            EXPECT_FALSE(dlg.autorotate_chk->isChecked());
            dlg.autorotate_chk->setChecked(true);
            Key(dlg.sng_chk, Qt::Key_Return); // Enter presses Ok
        });
    EXPECT_TRUE(result);
    EXPECT_EQ(ReadSetting("AutoRotate"), "1");
    EXPECT_TRUE(ReadAutoRotateSetting());
}

TEST_F(DialogsTest, SettingsOffersTheLanguageHooks) {
    TSettingsDlg dlg;
    EXPECT_EQ(dlg.objectName(), "SettingsDlg");
    EXPECT_EQ(dlg.windowTitle(), "Settings");
    EXPECT_EQ(dlg.lng->objectName(), "lng");
    std::vector<int> chosen;
    dlg.FillLanguages = [](QListWidget& list) {
        list.clear();
        list.addItems({"English", "Français"});
    };
    dlg.LanguageChosen = [&](int row, const QString&) { chosen.push_back(row); };
    EXPECT_TRUE(WhileOpen(
        dlg, [&] { dlg.Execute(); },
        [&] {
            ASSERT_EQ(dlg.lng->count(), 2);
            emit dlg.lng->itemClicked(dlg.lng->item(1));
            emit dlg.lng->itemActivated(dlg.lng->item(1)); // the double-click of the same row
            Key(dlg.lng, Qt::Key_Escape);
            EXPECT_FALSE(dlg.isVisible());
        }));
    EXPECT_EQ(chosen, std::vector<int>{1});
}

TEST_F(DialogsTest, AboutBoxSetsItsTextsEachTime) {
    TAboutDlg dlg;
    EXPECT_EQ(dlg.objectName(), "AboutDlg");
    EXPECT_EQ(dlg.windowTitle(), "About ");
    dlg.VersionText = "2.1.0.7";
    WhileOpen(
        dlg, [&] { dlg.Execute(); },
        [&] {
            EXPECT_EQ(dlg.windowTitle(), "About Morvanta");
            EXPECT_EQ(dlg.appname_lbl->text(), "Application Name : Morvanta");
            EXPECT_EQ(dlg.version_lbl->text(), "Version : 2.1.0.7");
            dlg.ok_btn->click();
        });
    // A language file's lines replace the texts; an "unused" line keeps the English one.
    dlg.about_ts.Items.Assign({"A propos de", "unused", "Version :"});
    dlg.VersionText.clear();
    WhileOpen(
        dlg, [&] { dlg.Execute(); },
        [&] {
            EXPECT_EQ(dlg.windowTitle(), "A propos de Morvanta");
            EXPECT_EQ(dlg.appname_lbl->text(), "Application Name : Morvanta");
            // This test program carries no version block.
            EXPECT_EQ(dlg.version_lbl->text(), "Version : Unable to retrieve file version info");
        });
}

class CodecDialogsTest : public DialogsTest {
protected:
    static std::optional<TCodecInfo> Find(bool withOptions) {
        for (const TCodecInfo& codec : ListCodecInfos())
            if (ReadCodecOptions(codec.FourCC).empty() != withOptions) return codec;
        return std::nullopt;
    }
};

TEST_F(CodecDialogsTest, ConfigurationStoresTheOptionsOnOk) {
    const auto codec = Find(true);
    ASSERT_TRUE(codec) << "no listed codec has options";
    const QString fourcc = QString::fromStdString(codec->FourCC);
    ResetCodecOptions(codec->FourCC);
    const std::vector<TCodecOption> before = ReadCodecOptions(codec->FourCC);

    TCodecConfigDlg dlg;
    EXPECT_EQ(dlg.objectName(), "CodecConfigDlg");
    EXPECT_EQ(dlg.windowTitle(), "Codec Configuration");
    dlg.FourCC = fourcc;
    // Each option gets an editor showing its value; change every one of them.
    std::vector<int> wanted;
    bool result = false;
    EXPECT_TRUE(WhileOpen(
        dlg, [&] { result = dlg.Execute(); },
        [&] {
            for (std::size_t i = 0; i < before.size(); ++i) {
                const TCodecOption& option = before[i];
                const QString prefix = QString("opt%1").arg(i);
                const int value = option.Value == option.Max ? option.Min : option.Value + 1;
                wanted.push_back(value);
                if (auto* spin = dlg.findChild<QSpinBox*>(prefix + "_txt")) {
                    EXPECT_EQ(spin->value(), option.Value);
                    EXPECT_EQ(spin->maximum(), option.Max);
                    spin->setValue(value);
                } else if (auto* combo = dlg.findChild<QComboBox*>(prefix + "_cmb")) {
                    EXPECT_EQ(combo->currentIndex(), option.Value);
                    combo->setCurrentIndex(value);
                } else if (auto* check = dlg.findChild<QCheckBox*>(prefix + "_chk")) {
                    EXPECT_EQ(check->isChecked(), option.Value != 0);
                    check->setChecked(value != 0);
                } else {
                    ADD_FAILURE() << "no editor for " << option.Name;
                }
            }
            dlg.ok_btn->click();
        }));
    EXPECT_TRUE(result);
    const std::vector<TCodecOption> after = ReadCodecOptions(codec->FourCC);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].Value, wanted[i]);

    // Cancel stores nothing, even after "Defaults".
    EXPECT_TRUE(WhileOpen(
        dlg, [&] { result = dlg.Execute(); },
        [&] {
            dlg.default_btn->click();
            dlg.cancel_btn->click();
        }));
    EXPECT_FALSE(result);
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(ReadCodecOptions(codec->FourCC)[i].Value, wanted[i]);

    // "Defaults" then Ok brings the defaults back into the store.
    WhileOpen(
        dlg, [&] { result = dlg.Execute(); },
        [&] {
            dlg.default_btn->click();
            dlg.ok_btn->click();
        });
    for (const TCodecOption& option : ReadCodecOptions(codec->FourCC))
        EXPECT_EQ(option.Value, option.Default) << option.Name;
    EXPECT_TRUE(Messages.empty());
}

TEST_F(CodecDialogsTest, NothingOpensWithoutOptions) {
    TCodecConfigDlg dlg;
    for (const QString& fourcc : {QString(), QString("ZZZZ")}) {
        dlg.FourCC = fourcc;
        EXPECT_FALSE(WhileOpen(
            dlg, [&] { EXPECT_FALSE(dlg.Execute()); }, [] {}));
    }
    const auto plain = Find(false);
    ASSERT_TRUE(plain) << "every listed codec has options";
    dlg.FourCC = QString::fromStdString(plain->FourCC);
    EXPECT_FALSE(WhileOpen(
        dlg, [&] { EXPECT_FALSE(dlg.Execute()); }, [] {}));
    EXPECT_TRUE(Messages.empty());
}

TEST_F(CodecDialogsTest, AboutShowsNameVersionAndLicence) {
    const std::vector<TCodecInfo> codecs = ListCodecInfos();
    ASSERT_FALSE(codecs.empty());
    const auto withEncoder = std::find_if(codecs.begin(), codecs.end(),
                                          [](const TCodecInfo& c) { return !c.Encoder.empty(); });
    ASSERT_NE(withEncoder, codecs.end());
    const TCodecAbout about = CodecAbout(withEncoder->FourCC);

    TCodecAboutDlg dlg;
    EXPECT_EQ(dlg.objectName(), "CodecAboutDlg");
    dlg.FourCC = QString::fromStdString(withEncoder->FourCC);
    EXPECT_TRUE(WhileOpen(
        dlg, [&] { EXPECT_TRUE(dlg.Execute()); },
        [&] {
            EXPECT_EQ(dlg.name_lbl->text().toStdString(), about.Name);
            EXPECT_TRUE(dlg.encoder_lbl->text().contains(QString::fromStdString(about.Encoder)));
            EXPECT_TRUE(dlg.version_lbl->text().startsWith("libavcodec "));
            EXPECT_TRUE(dlg.licence_lbl->text().contains(QString::fromStdString(about.Licence)));
            Key(dlg.ok_btn, Qt::Key_Escape);
            EXPECT_FALSE(dlg.isVisible());
        }));

    // A codec that is not listed reports it and shows nothing; an empty one does nothing.
    dlg.FourCC = "ZZZZ";
    EXPECT_FALSE(WhileOpen(
        dlg, [&] { EXPECT_FALSE(dlg.Execute()); }, [] {}));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], "No compressor for ZZZZ available");
    dlg.FourCC.clear();
    EXPECT_FALSE(WhileOpen(
        dlg, [&] { EXPECT_FALSE(dlg.Execute()); }, [] {}));
    EXPECT_EQ(Messages.size(), 1u);
}

} // namespace
