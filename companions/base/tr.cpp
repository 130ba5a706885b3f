#include "companions/base/tr.h"

const char* Tr(const char* msgid) { return msgid; }
