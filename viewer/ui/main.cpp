#include "ui/viewer_app.h"

int main(int argc, char** argv) {
    return velmora::run_viewer(argc, argv);
}
