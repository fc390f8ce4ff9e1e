#include "ui/car_info_panel.h"

#include <QPalette>
#include <algorithm>

#include "skin/skin_scroll.h"
#include "skin/skin_static.h"
#include "skin/theme.h"
#include "ui/car_list_box.h"

namespace velmora {

CarInfoPanel::CarInfoPanel(const LanguageTable* texts, QWidget* parent)
    : QWidget(parent), title_(new SkinStatic(13001, this)), list_(new CarListBox(texts, this)) {
    setObjectName(QStringLiteral("2104"));
    title_->setObjectName(QStringLiteral("13001"));
    // The white row between the title bar and the list is the panel's own background.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    // A tab draws nothing: the label paints a blank bar in the accent colour.
    title_->set_text(QStringLiteral("\t"), 0, Qt::black, theme::kAccent);
    wrap_with_skin_scroll(list_);
    place_children();
}

int CarInfoPanel::vehicle_count() const {
    return list_->count();
}

void CarInfoPanel::mark_vehicle(int connection_type, bool on, std::string_view name_utf8,
                                const uint8_t* address6) {
    list_->mark_connected(name_utf8, address6, on, connection_type);
}

void CarInfoPanel::clear_selection() {
    list_->clear_selection_index();
}

void CarInfoPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place_children();
}

void CarInfoPanel::place_children() {
    title_->setGeometry(0, 0, width(), kTitleHeight);
    list_->setGeometry(0, kListTop, width(), std::max(0, height() - kListTop));
}

}  // namespace velmora
