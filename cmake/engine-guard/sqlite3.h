// Found instead of the engine's own header by every library but the engine
// layer: the windows, the data layer and quelt-db reach the database through
// platform/DbEngine.h, the one place that knows which engine runs a statement.
#error "<sqlite3.h> is for src/platform/ only: reach the database through platform/DbEngine.h"
