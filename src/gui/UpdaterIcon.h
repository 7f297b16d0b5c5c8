#pragma once

#include <QPixmap>

// The updater's icon: a chip receiving new firmware, drawn at the given size.
QPixmap UpdaterIcon(int size);
