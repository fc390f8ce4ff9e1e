// The narrow information panel: a blank title bar in the accent colour over the vehicle list,
// which carries the skinned scroll bars. The main window creates it once and moves it between
// itself and the map window.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string_view>

namespace velmora {

class CarListBox;
class LanguageTable;
class SkinStatic;

class CarInfoPanel : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTitleHeight = 20;
    static constexpr int kListTop = 21;  // one white row between title and list

    explicit CarInfoPanel(const LanguageTable* texts = nullptr, QWidget* parent = nullptr);

    CarListBox* list() { return list_; }
    SkinStatic* title_bar() { return title_; }
    int vehicle_count() const;

    // Marks a vehicle connected or not (see CarListBox::mark_connected). GUI thread only: the
    // engine's callbacks post to the GUI thread and call this from there, so it does not pause
    // afterwards as a caller on a callback thread once did.
    void mark_vehicle(int connection_type, bool on, std::string_view name_utf8,
                      const uint8_t* address6);
    void clear_selection();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void place_children();

    SkinStatic* title_;
    CarListBox* list_;
};

}  // namespace velmora
