// The command's own CSV writer and reader, built into the tests as well, so
// that what the tests read back is read the way import-questions reads it.
#include "../../tools/Csv.cpp"
