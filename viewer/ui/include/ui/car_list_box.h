// The vehicle list: owner-drawn entries (truck icon by state, name, address, connections and
// last event) sorted online first, with a right-click menu whose commands it reports with the
// record. The list owns the records added to it.
#pragma once

#include <QListWidget>

class QAction;
class QMenu;
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "model/vehicle_record.h"

namespace velmora {

class LanguageTable;

// The commands of the vehicle menu, by their menu ids.
enum class VehicleCommand {
    RealtimePlay = 32839,
    RecordedPlay = 32840,
    UploadedFile = 32852,
    DeleteFromList = 32842,
};

class CarListBox : public QListWidget {
    Q_OBJECT
  public:
    // texts gives the menu item texts at the moment the menu opens; may be null (English).
    explicit CarListBox(const LanguageTable* texts = nullptr, QWidget* parent = nullptr);
    ~CarListBox() override;

    static constexpr int kItemHeight = 64;  // icon height * 4 / 3
    static constexpr int kIconSize = 48;

    // Inserts at the record's sorted place; returns its index (-1 for a null record).
    int add(std::unique_ptr<VehicleRecord> record);
    // The first entry whose name matches (prefix rule) and whose address equals address6; -1.
    int find(std::string_view name_utf8, const uint8_t* address6) const;
    // See apply_connection_mark; repaints the entries whose state changed.
    void mark_connected(std::string_view name_utf8, const uint8_t* address6, bool on,
                        int connection_type);
    // Removes the entry Find gives, reports it (removed) and frees its record. False when there
    // is none.
    bool remove(std::string_view name_utf8, const uint8_t* address6);

    int count() const;
    VehicleRecord* record_at(int index);
    const VehicleRecord* record_at(int index) const;

    int selected_index() const { return selected_index_; }
    // Forgets the selection without reporting it (the owner asked for it).
    void clear_selection_index();

    // The application configuration's "RunMode": not 0 disables "Delete from List".
    void set_run_mode(int run_mode) { run_mode_ = run_mode; }
    int run_mode() const { return run_mode_; }

  signals:
    // The selected record changed; null when nothing is selected any more.
    void selection_changed(velmora::VehicleRecord* record);
    // An entry was removed; its record is freed when the signal returns.
    void removed(const velmora::VehicleRecord& record);
    // A command of the vehicle menu was chosen for the record under the click.
    void command_chosen(velmora::VehicleCommand command, velmora::VehicleRecord* record);
    // "Add recorder..." was chosen (the menu offers it on a vehicle and on empty space).
    void add_recorder_requested();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void on_current_row_changed(int row);
    int row_for_click(const QPoint& pos) const;
    void open_menu(int row, const QPoint& global_pos);
    void open_empty_menu(const QPoint& global_pos);
    QAction* add_recorder_item(QMenu& menu) const;
    void repaint_row(int row);
    QString menu_text(const char* key, const char* english) const;

    const LanguageTable* texts_;
    std::vector<std::unique_ptr<VehicleRecord>> records_;  // in row order
    int selected_index_ = -1;
    int run_mode_ = 0;
    bool reporting_suspended_ = false;
};

}  // namespace velmora
