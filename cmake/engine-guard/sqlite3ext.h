// See sqlite3.h beside this file.
#error "<sqlite3ext.h> is for src/platform/ only: reach the database through platform/DbEngine.h"
