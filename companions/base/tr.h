// The message catalogue: every user-facing text (messages, questions,
// captions, undo texts) goes through Tr. The source text is English, the
// default language; translations live in po/<lang>.po.
#pragma once

// The text for msgid in the user's language; msgid itself when there is no
// translation. The pointer stays valid for the life of the process.
const char* Tr(const char* msgid);
