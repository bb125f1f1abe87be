// See sqlite3.h beside this file: the server's client library is the engine
// layer's too.
#error "<libpq-fe.h> is for src/platform/ only: reach the database through platform/DbEngine.h"
