// The realtime parameter dialog offscreen: its controls, the state it opens with, the lock for a
// shared recorder, and the record Ok and Cancel collect.
#include "ui/realtime_params_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "lang/language_table.h"
#include "qt_test_app.h"
#include "skin/theme.h"

namespace velmora {
namespace {

namespace lp = live_params;

LiveParams previous_record() {
    LiveParamsChoice choice;
    choice.address = "10.0.0.7";
    choice.channel_count = 8;
    choice.channels = {true, false, false, true, false, false, false, false};
    choice.log = true;
    choice.buffering = true;
    choice.audio_mode = 2;
    choice.resolution = 1;
    choice.frame_rate = 4;
    return collect_live_params(choice);
}

RealtimeDialogInputs inputs(uint8_t capability = 0, int open_links = 0) {
    return {"10.0.0.7:2300", 8, open_links, capability, previous_record()};
}

TEST(RealtimeParamsDialog, OpensWithTheRecordersPreviousChoices) {
    const LanguageTable english;
    RealtimeParamsDialog dialog(english, inputs());
    EXPECT_EQ(dialog.objectName(), QStringLiteral("2102"));
    EXPECT_EQ(dialog.title(), QStringLiteral("Network data parameters"));
    EXPECT_EQ(dialog.summary()->text(), QStringLiteral("Dvr ip:10.0.0.7:2300, channel num:8"));
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("22001"))->text(),
              QStringLiteral("10.0.0.7:2300"));
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("22002"))->text(), QStringLiteral("8"));
    const bool expected_channels[8] = {true, false, false, true, false, false, false, false};
    for (int i = 0; i < kLiveChannels; ++i) {
        EXPECT_EQ(dialog.channel_box(i)->isChecked(), expected_channels[i]) << i;
        EXPECT_EQ(dialog.channel_box(i)->text(), QStringLiteral("ch%1:").arg(i + 1));
        EXPECT_EQ(dialog.channel_box(i)->objectName(), QString::number(22003 + i));
    }
    EXPECT_TRUE(dialog.log_box()->isChecked());
    EXPECT_FALSE(dialog.flow_control_box()->isChecked());
    EXPECT_FALSE(dialog.buffering_box()->isChecked());  // never carried over
    EXPECT_TRUE(dialog.audio_radio(2)->isChecked());
    EXPECT_EQ(dialog.audio_radio(3)->text(), QStringLiteral("audio div4:"));
    EXPECT_EQ(dialog.resolution_list()->count(), 2);
    EXPECT_EQ(dialog.resolution_list()->currentText(), QStringLiteral("CIF"));
    EXPECT_EQ(dialog.frame_rate_list()->count(), 16);
    EXPECT_EQ(dialog.frame_rate_list()->itemText(0), QStringLiteral("No video"));
    EXPECT_EQ(dialog.frame_rate_list()->itemText(15), QStringLiteral("30"));
    EXPECT_EQ(dialog.frame_rate_list()->currentText(), QStringLiteral("8"));
    EXPECT_EQ(dialog.ok_button()->text(), QStringLiteral("Ok"));
    EXPECT_EQ(dialog.cancel_button()->text(), QStringLiteral("Cancel"));
}

TEST(RealtimeParamsDialog, ASharedRecorderLocksItsStreamFormat) {
    const LanguageTable english;
    const struct {
        uint8_t capability;
        int open_links;
        bool locked;
    } cases[] = {{0x10, 1, true}, {0x01, 2, true}, {0x10, 0, false}, {0x00, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.capability} * 10 + c.open_links);
        RealtimeParamsDialog dialog(english, inputs(c.capability, c.open_links));
        for (int i = 0; i < kLiveChannels; ++i)
            EXPECT_EQ(dialog.channel_box(i)->isEnabled(), !c.locked);
        EXPECT_EQ(dialog.log_box()->isEnabled(), !c.locked);
        EXPECT_EQ(dialog.flow_control_box()->isEnabled(), !c.locked);
        EXPECT_EQ(dialog.resolution_list()->isEnabled(), !c.locked);
        EXPECT_EQ(dialog.frame_rate_list()->isEnabled(), !c.locked);
        EXPECT_EQ(dialog.audio_radio(2)->isEnabled(), !c.locked);  // the checked one
        EXPECT_TRUE(dialog.buffering_box()->isEnabled());
        EXPECT_TRUE(dialog.audio_radio(0)->isEnabled());
        EXPECT_TRUE(dialog.audio_radio(3)->isEnabled());
    }
}

TEST(RealtimeParamsDialog, OkAndCancelBothCollectButOnlyOkAccepts) {
    const LanguageTable english;
    for (const bool ok : {true, false}) {
        RealtimeParamsDialog dialog(english, inputs());
        dialog.channel_box(7)->setChecked(true);
        dialog.buffering_box()->setChecked(true);
        dialog.audio_radio(0)->setChecked(true);
        dialog.frame_rate_list()->setCurrentIndex(1);
        (ok ? dialog.ok_button() : dialog.cancel_button())->click();
        EXPECT_EQ(dialog.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        const LiveParams& params = dialog.params();
        EXPECT_EQ(live_params_address(params), "10.0.0.7:2300");
        EXPECT_EQ(live_params_int(params, lp::kChannelCount), 8);
        EXPECT_EQ(live_params_int(params, lp::kChannelMask), 0x89);
        EXPECT_EQ(params.bytes[lp::kBuffering], 1);
        EXPECT_EQ(live_params_int(params, lp::kAudioMode), 0);
        EXPECT_EQ(live_params_int(params, lp::kFrameRateClass), 1);
        EXPECT_EQ(params.bytes[lp::kFrameRateIndex], 1);
        EXPECT_EQ(params.bytes[lp::kFilledMark], 1);
    }
}

TEST(RealtimeParamsDialog, Screenshot) {
    const LanguageTable english;
    RealtimeParamsDialog dialog(english, inputs(0x10, 1));
    dialog.show();
    fleet_test::process_events_for(30);
    const QImage shot = fleet_test::grab_screenshot(dialog, QStringLiteral("realtime_params"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kCaption,
                                         QRect(0, 0, shot.width(), SubDialog::caption_height())));
    // The drop lists are drawn as edits in light colours, the page is dark.
    EXPECT_FALSE(
        fleet_test::is_uniform(shot, fleet_test::region_of(*dialog.frame_rate_list(), dialog)));
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kDialog));
    EXPECT_GT(fleet_test::colour_count(shot, fleet_test::region_of(*dialog.summary(), dialog)), 1);
}

}  // namespace
}  // namespace velmora
