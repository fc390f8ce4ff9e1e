#include "present/presenter.h"

namespace kivra {

bool cell_rect(int layout, int position, int width, int height, CellRect& out) {
    int columns = 0;
    switch (layout) {
        case 1:
            columns = 1;
            break;
        case 4:
            columns = 2;
            break;
        case 9:
            columns = 3;
            break;
        default:
            return false;
    }
    if (position < 0 || position >= layout || width < 0 || height < 0) return false;
    out.width = width / columns;
    out.height = height / columns;
    out.left = position % columns * out.width;
    out.top = position / columns * out.height;
    return true;
}

}  // namespace kivra
