// The data layer runs its statements through the engine layer.
#include <sqlite3.h>
