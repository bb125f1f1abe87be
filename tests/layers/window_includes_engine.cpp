// Windows run their statements through the engine layer.
#include <sqlite3.h>
