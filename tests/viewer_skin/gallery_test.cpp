// Screenshots for people to look at: all artwork at 1x and 2x, and a dialog built from the
// skinned controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

#include "qt_test_app.h"
#include "skin/artwork.h"
#include "skin/base_tab_ctrl.h"
#include "skin/skin_button.h"
#include "skin/skin_scroll.h"
#include "skin/skin_static.h"
#include "skin/slide_button.h"
#include "skin/sub_dialog.h"
#include "skin/theme.h"

namespace velmora {
namespace {

std::vector<int> gallery_ids() {
    std::vector<int> ids{art::kAppIcon, art::kSliderThumb, art::kSliderTrack};
    for (int id = art::kMinimise; id <= art::kTruckGreen; ++id) ids.push_back(id);
    for (int id = art::kVolumeFilled; id <= art::kScrollHTrack; ++id) ids.push_back(id);
    for (int id : {art::kMainEdgeH, art::kMainEdgeV, art::kDialogEdgeH, art::kDialogEdgeV})
        ids.push_back(id);
    for (int id = art::kOpenFile; id <= art::kAudioOff; ++id) ids.push_back(id);
    return ids;
}

// Each resource as drawn at 1x, then its 2x image pixel for pixel; long edges are cut short.
class Gallery : public QWidget {
  public:
    Gallery() {
        setAutoFillBackground(false);
        resize(1240, layout_height());
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), theme::kWindow);
        p.setPen(theme::kTabText);
        int x = kMargin, y = kMargin, row_height = 0;
        for (int id : gallery_ids()) {
            const QSize cell = cell_size(id);
            if (x + cell.width() > width() - kMargin) {
                x = kMargin;
                y += row_height + kGap;
                row_height = 0;
            }
            paint_cell(p, id, QPoint(x, y));
            x += cell.width() + kGap;
            row_height = std::max(row_height, cell.height());
        }
    }

  private:
    static constexpr int kMargin = 12, kGap = 14, kLabel = 16, kLabelWidth = 112, kMaxShown = 260;

    static QSize shown(int id) {
        const QSize s = skin_size(id);
        return QSize(std::min(s.width(), kMaxShown), std::min(s.height(), kMaxShown / 2));
    }
    static QSize cell_size(int id) {
        const QSize s = shown(id);
        const bool side_by_side = s.width() * 3 + 8 <= kMaxShown * 2;
        const QSize art = side_by_side ? QSize(s.width() * 3 + 8, s.height() * 2)
                                       : QSize(s.width() * 2, s.height() * 3 + 6);
        return QSize(std::max(art.width(), kLabelWidth), kLabel + art.height());
    }
    int layout_height() const {
        int x = kMargin, y = kMargin, row_height = 0;
        for (int id : gallery_ids()) {
            const QSize cell = cell_size(id);
            if (x + cell.width() > 1240 - kMargin) {
                x = kMargin;
                y += row_height + kGap;
                row_height = 0;
            }
            x += cell.width() + kGap;
            row_height = std::max(row_height, cell.height());
        }
        return y + row_height + kMargin;
    }
    static void paint_cell(QPainter& p, int id, QPoint at) {
        const QSize s = shown(id);
        p.drawText(QRect(at, QSize(kLabelWidth, kLabel)), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("%1  %2x%3")
                       .arg(id)
                       .arg(skin_size(id).width())
                       .arg(skin_size(id).height()));
        const QPoint art_at = at + QPoint(0, kLabel);
        const QPixmap one = skin_pixmap(id, 1.0);
        p.drawPixmap(art_at, one, QRect(QPoint(0, 0), s));
        QPixmap two = skin_pixmap(id, 2.0);
        two.setDevicePixelRatio(1.0);
        const bool side_by_side = s.width() * 3 + 8 <= kMaxShown * 2;
        const QPoint two_at =
            side_by_side ? art_at + QPoint(s.width() + 8, 0) : art_at + QPoint(0, s.height() + 6);
        p.drawPixmap(two_at, two, QRect(QPoint(0, 0), s * 2));
    }
};

TEST(Gallery, SavesAllArtwork) {
    Gallery gallery;
    const QImage shot = fleet_test::grab_screenshot(gallery, QStringLiteral("skin_gallery"));
    ASSERT_FALSE(shot.isNull());
    // The artwork on the window colour: the accent and many shades of drawn art.
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kWindow, QRect(0, 0, 12, 12), 0));
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kAccent));
    EXPECT_EQ(fleet_test::colour_count(shot), 256);
}

void show_hover(SkinButton& button) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&button, &event);
}

QWidget* playback_row(QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    int control = 10000;
    for (int id = art::kPlay; id <= art::kAudioOff; ++id) {
        auto* button = new SkinButton(++control, id, row);
        if (id == art::kPause) show_hover(*button);
        if (id == art::kStop) button->setDown(true), show_hover(*button);
        if (id == art::kCapture) button->setEnabled(false);
        button->setToolTip(QStringLiteral("button %1").arg(id));
        layout->addWidget(button);
    }
    layout->addStretch();
    return row;
}

QWidget* toolbar_row(QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (int id = art::kOpenFile; id <= art::kTalkClose; ++id) {
        auto* button = new SkinButton(id, id, row);
        if (id == art::kSearchSd) show_hover(*button);
        layout->addWidget(button);
    }
    auto* framed = new SkinButton(1, art::kTruckGreen, row);
    framed->set_mode(SkinButton::Mode::Rectangle);
    show_hover(*framed);
    layout->addWidget(framed);
    layout->addStretch();
    return row;
}

QWidget* slider_row(QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* time = new SkinStatic(1, row);
    time->set_text(QStringLiteral("00:12:47"), 6, theme::kAccent, theme::kPanel);
    time->setFixedSize(70, 20);
    auto* position = new SlideButton(2, row);
    position->setFixedHeight(12);
    position->set_position(37);
    auto* volume = new SlideVolume(3, row);
    volume->setFixedSize(110, 16);
    volume->set_position(70);
    layout->addWidget(time);
    layout->addWidget(position, 1);
    layout->addSpacing(12);
    layout->addWidget(volume);
    return row;
}

QWidget* vehicle_page(QWidget* parent) {
    auto* page = new SubDialogNoTitle(parent);
    auto* grid = new QGridLayout(page);
    auto* list = new QListWidget(page);
    const QIcon trucks[] = {
        QIcon(skin_pixmap(art::kTruckGreen, 2.0)), QIcon(skin_pixmap(art::kTruckYellow, 2.0)),
        QIcon(skin_pixmap(art::kTruckRed, 2.0)), QIcon(skin_pixmap(art::kTruckGrey, 2.0))};
    for (int i = 0; i < 60; ++i)
        list->addItem(new QListWidgetItem(
            trucks[i % 4], QStringLiteral("Vehicle %1  —  route %2, depot north-east yard")
                               .arg(1000 + i)
                               .arg(i % 7 + 1)));
    list->addItem(new QListWidgetItem(
        trucks[2],
        QStringLiteral("Vehicle 1060  —  offline since 06:12, last position 52.5203 N 13.4049 E, "
                       "speed 0 km/h, channel 3 video lost, recorder disk 92 % full")));
    list->setIconSize(QSize(24, 24));
    wrap_with_skin_scroll(list);
    grid->addWidget(new QLabel(QStringLiteral("Search"), page), 0, 0);
    grid->addWidget(new QLineEdit(QStringLiteral("depot"), page), 0, 1);
    auto* channel = new QComboBox(page);
    channel->addItems({QStringLiteral("All channels"), QStringLiteral("Channel 1")});
    grid->addWidget(channel, 0, 2);
    grid->addWidget(list, 1, 0, 1, 3);
    grid->addWidget(new QCheckBox(QStringLiteral("Only vehicles online"), page), 2, 0, 1, 2);
    list->verticalScrollBar()->setValue(8);
    return page;
}

TEST(Gallery, SavesASampleDialog) {
    SubDialog dialog;
    dialog.set_title(QStringLiteral("Velmora Player — skin sample"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* menu_row = new QHBoxLayout;
    for (const char* title : {"File", "Play", "Tools", "Help"}) {
        auto* menu = new SkinMenuText(0, &dialog);
        menu->set_text(QString::fromLatin1(title), theme::kText, theme::kAccent);
        menu->setFixedSize(64, 22);
        menu_row->addWidget(menu);
    }
    menu_row->addStretch();
    layout->addLayout(menu_row);
    QWidget* toolbar = toolbar_row(&dialog);
    layout->addWidget(toolbar);
    auto* tabs = new BaseTabCtrl(&dialog);
    tabs->add_page(QStringLiteral("Vehicles"), vehicle_page(tabs), 1);
    tabs->add_page(QStringLiteral("Alarms"), new SubDialogNoTitle(tabs), 2);
    tabs->add_page(QStringLiteral("Settings"), new SubDialogNoTitle(tabs), 3);
    tabs->set_current_index(0);
    tabs->setMinimumHeight(300);
    layout->addWidget(tabs, 1);
    QWidget* sliders = slider_row(&dialog);
    layout->addWidget(sliders);
    QWidget* playback = playback_row(&dialog);
    layout->addWidget(playback);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(new QPushButton(QStringLiteral("OK"), &dialog));
    buttons->addWidget(new QPushButton(QStringLiteral("Cancel"), &dialog));
    layout->addLayout(buttons);
    dialog.resize(760, 600);
    dialog.show();
    fleet_test::process_events_for(50);
    const QImage shot = fleet_test::grab_screenshot(dialog, QStringLiteral("skin_dialog_sample"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kCaption,
                                         QRect(0, 0, shot.width(), SubDialog::caption_height())));
    // Every part shows: the tabs, the list with its bitmap scroll bar, the sliders, the buttons.
    for (const QWidget* part : {static_cast<QWidget*>(tabs), static_cast<QWidget*>(toolbar),
                                static_cast<QWidget*>(sliders), static_cast<QWidget*>(playback)})
        EXPECT_GT(fleet_test::colour_count(shot, fleet_test::region_of(*part, dialog)), 16);
    // The selected tab carries the accent stripe.
    const QRect tab_row =
        tabs->tab_rect(0).translated(fleet_test::region_of(*tabs, dialog).topLeft());
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kAccent, tab_row, 0));
}

}  // namespace
}  // namespace velmora
