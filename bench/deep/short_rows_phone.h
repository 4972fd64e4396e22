// The phone shape where the deep engine's header-lost search costs most:
// short messages (2 to 50 words) with a third of them deleted, some alone and
// some in short runs of neighbouring rows, so most leaf pages hold freeblocks
// of several cells whose headers were overwritten.
#pragma once

#include <string>

namespace benchdeep {

// Generates (once, then reuses) such a phone in dir: `messages` short
// messages over messages / 40 conversations, a third deleted, and a small
// contacts2.db with a third of its data rows deleted. Written by SQLite
// itself (classic layout: 4096-byte pages, rollback journal, no WAL).
void ensureShortRowsPhone(const std::string& dir, int messages);

} // namespace benchdeep
