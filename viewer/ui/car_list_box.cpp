#include "ui/car_list_box.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <utility>

#include "lang/language_table.h"
#include "model/car_list_rules.h"
#include "skin/artwork.h"
#include "skin/theme.h"

namespace velmora {
namespace {

constexpr int kRecordRole = Qt::UserRole + 1;
const QColor kVehicleTextColour{255, 0, 0};
const QColor kEtchedShadow{160, 160, 160};

int truck_for_state(int state) {
    switch (state) {
        case vehicle_state::kOnline:
            return art::kTruckGreen;
        case vehicle_state::kConnected:
            return art::kTruckYellow;
        case vehicle_state::kOnlineEvent:
            return art::kTruckRed;
        default:
            return art::kTruckGrey;
    }
}

QFont vehicle_font() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    font.setWeight(QFont::Medium);
    return font;
}

// Draws one entry: white ground (selection colour when selected, leaving the etched bottom
// edge visible), the truck for its state and three red text lines right of it.
class VehicleDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), CarListBox::kItemHeight};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto* record =
            reinterpret_cast<const VehicleRecord*>(index.data(kRecordRole).value<quintptr>());
        if (record == nullptr) return;
        const QRect rect = option.rect;
        painter->save();
        painter->fillRect(rect, Qt::white);
        if (option.state & QStyle::State_Selected) {
            painter->fillRect(rect.adjusted(0, 0, 0, -2), theme::kSelection);
        }
        draw_etched_bottom(*painter, rect);
        const QPixmap truck =
            skin_pixmap(truck_for_state(record->state), painter->device()->devicePixelRatioF());
        painter->drawPixmap(
            QRect(rect.left(), rect.top(), CarListBox::kIconSize, CarListBox::kIconSize), truck);
        draw_texts(*painter, rect, vehicle_lines(*record));
        painter->restore();
    }

  private:
    static void draw_etched_bottom(QPainter& painter, const QRect& rect) {
        const int y = rect.bottom();
        painter.setPen(kEtchedShadow);
        painter.drawLine(rect.left(), y - 1, rect.right(), y - 1);
        painter.setPen(Qt::white);
        painter.drawLine(rect.left(), y, rect.right(), y);
    }

    static void draw_texts(QPainter& painter, const QRect& rect, const VehicleLines& lines) {
        painter.setFont(vehicle_font());
        painter.setPen(kVehicleTextColour);
        const int left = rect.left() + CarListBox::kIconSize;
        const int width = rect.width() - CarListBox::kIconSize;
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        // Three rows: name, address, and from y = 43 the connections with the last event.
        const QRect name_row(left, rect.top() + 2, width, 20);
        const QRect address_row(left, rect.top() + 22, width, 20);
        const QRect status_row(left, rect.top() + 43, width, rect.height() - 45);
        if (!lines.name.empty())
            painter.drawText(name_row, flags, QString::fromStdString(lines.name));
        painter.drawText(address_row, flags, QString::fromStdString(lines.address));
        if (!lines.status.empty()) {
            painter.drawText(status_row, flags, QString::fromStdString(lines.status));
        }
    }
};

}  // namespace

CarListBox::CarListBox(const LanguageTable* texts, QWidget* parent)
    : QListWidget(parent), texts_(texts) {
    setObjectName(QStringLiteral("13000"));
    setItemDelegate(new VehicleDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::Box);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    connect(this, &QListWidget::currentRowChanged, this, &CarListBox::on_current_row_changed);
}

CarListBox::~CarListBox() {
    // The items go before the records they point to, and no selection report comes from that.
    reporting_suspended_ = true;
    clear();
}

int CarListBox::add(std::unique_ptr<VehicleRecord> record) {
    if (!record) return -1;
    const std::u16string key = vehicle_sort_key(*record);
    // After equal keys, so entries added with the same key keep their order.
    const auto place =
        std::upper_bound(records_.begin(), records_.end(), key,
                         [](const std::u16string& k, const std::unique_ptr<VehicleRecord>& r) {
                             return k < vehicle_sort_key(*r);
                         });
    const int row = static_cast<int>(place - records_.begin());
    auto* item = new QListWidgetItem;
    item->setData(kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record.get())));
    item->setSizeHint(QSize(0, kItemHeight));
    records_.insert(place, std::move(record));
    const bool was_suspended = std::exchange(reporting_suspended_, true);
    insertItem(row, item);
    reporting_suspended_ = was_suspended;
    if (selected_index_ >= row) ++selected_index_;
    return row;
}

int CarListBox::find(std::string_view name_utf8, const uint8_t* address6) const {
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (vehicle_matches(*records_[i], name_utf8, address6)) return static_cast<int>(i);
    }
    return -1;
}

void CarListBox::mark_connected(std::string_view name_utf8, const uint8_t* address6, bool on,
                                int connection_type) {
    const int target_row = find(name_utf8, address6);
    std::vector<VehicleRecord*> all;
    all.reserve(records_.size());
    for (const auto& record : records_) all.push_back(record.get());
    std::vector<int32_t> before;
    for (const VehicleRecord* record : all) before.push_back(record->state);
    apply_connection_mark(all,
                          target_row >= 0 ? all[static_cast<std::size_t>(target_row)] : nullptr, on,
                          connection_type);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i]->state != before[i] || static_cast<int>(i) == target_row) {
            repaint_row(static_cast<int>(i));
        }
    }
}

bool CarListBox::remove(std::string_view name_utf8, const uint8_t* address6) {
    const int row = find(name_utf8, address6);
    if (row < 0) return false;
    const bool removing_selected = row == selected_index_;
    {
        const bool was_suspended = std::exchange(reporting_suspended_, true);
        delete takeItem(row);
        reporting_suspended_ = was_suspended;
    }
    const std::unique_ptr<VehicleRecord> record = std::move(records_[static_cast<size_t>(row)]);
    records_.erase(records_.begin() + row);
    if (removing_selected) {
        // The selected record is gone: whoever holds a pointer to it must drop it.
        clearSelection();
        selected_index_ = -1;
        emit selection_changed(nullptr);
    } else if (selected_index_ > row) {
        --selected_index_;
    }
    emit removed(*record);
    return true;
}

int CarListBox::count() const {
    return static_cast<int>(records_.size());
}

VehicleRecord* CarListBox::record_at(int index) {
    if (index < 0 || index >= count()) return nullptr;
    return records_[static_cast<std::size_t>(index)].get();
}

const VehicleRecord* CarListBox::record_at(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return records_[static_cast<std::size_t>(index)].get();
}

void CarListBox::clear_selection_index() {
    const bool was_suspended = std::exchange(reporting_suspended_, true);
    setCurrentRow(-1);
    clearSelection();
    reporting_suspended_ = was_suspended;
    selected_index_ = -1;
}

void CarListBox::on_current_row_changed(int row) {
    if (reporting_suspended_ || row == selected_index_) return;
    const int previous = selected_index_;
    selected_index_ = row;
    repaint_row(previous);
    repaint_row(row);
    emit selection_changed(record_at(row));
}

void CarListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;  // handled by contextMenuEvent
    }
    QListWidget::mouseReleaseEvent(event);
}

void CarListBox::contextMenuEvent(QContextMenuEvent* event) {
    const int row = row_for_click(event->pos());
    if (row < 0) {
        setCurrentRow(-1);
        clearSelection();
        open_empty_menu(event->globalPos());  // no vehicle under the click: only adding one
        return;
    }
    setCurrentRow(row);
    open_menu(row, event->globalPos());
}

void CarListBox::open_menu(int row, const QPoint& global_pos) {
    VehicleRecord* record = record_at(row);
    if (record == nullptr) return;
    const CarMenuEnabled enabled = car_menu_enabled(*record, run_mode_);
    QMenu menu(this);
    struct Item {
        const char* key;
        const char* english;
        VehicleCommand command;
        bool enabled;
    };
    const Item items[] = {
        {"ID_CARMENU_PLAY_RT", "Net Realtime Play", VehicleCommand::RealtimePlay,
         enabled.realtime_play},
        {"ID_CARMENU_PLAY_HIS", "Net Recorded Play", VehicleCommand::RecordedPlay,
         enabled.recorded_play},
        {"IDC_STATIC_BINFILE", "Uploaded File", VehicleCommand::UploadedFile,
         enabled.uploaded_file},
        {"ID_CARMENU_DEL_CAR", "Delete from List", VehicleCommand::DeleteFromList,
         enabled.delete_vehicle},
    };
    for (const Item& item : items) {
        QAction* action = menu.addAction(menu_text(item.key, item.english));
        action->setEnabled(item.enabled);
        action->setData(static_cast<int>(item.command));
    }
    menu.addSeparator();
    const QAction* add = add_recorder_item(menu);
    const QAction* chosen = menu.exec(global_pos);
    if (chosen != nullptr && chosen == add) {
        emit add_recorder_requested();
        return;
    }
    // The record may have been removed while the menu was open; look it up again.
    if (chosen == nullptr || record_at(row) != record) return;
    emit command_chosen(static_cast<VehicleCommand>(chosen->data().toInt()), record);
}

void CarListBox::open_empty_menu(const QPoint& global_pos) {
    QMenu menu(this);
    const QAction* add = add_recorder_item(menu);
    if (menu.exec(global_pos) == add) emit add_recorder_requested();
}

// Recorders are added by hand while no server fills the list.
QAction* CarListBox::add_recorder_item(QMenu& menu) const {
    QAction* add = menu.addAction(menu_text("ID_CARMENU_ADD_RECORDER", "Add recorder..."));
    add->setObjectName(QStringLiteral("add_recorder"));
    return add;
}

void CarListBox::repaint_row(int row) {
    if (QListWidgetItem* entry = item(row)) viewport()->update(visualItemRect(entry));
}

// A language file may set a text to nothing on purpose; only without a table is it English.
QString CarListBox::menu_text(const char* key, const char* english) const {
    if (texts_ != nullptr) return QString::fromStdString(texts_->text(key));
    return QString::fromUtf8(english);
}

// The last entry reaches down to the bottom of the list, so a click below it is on it.
int CarListBox::row_for_click(const QPoint& pos) const {
    const int row = indexAt(pos).row();
    if (row >= 0 || count() == 0) return row;
    const QListWidgetItem* last = item(count() - 1);
    return pos.y() > visualItemRect(last).bottom() ? count() - 1 : -1;
}

}  // namespace velmora
