#pragma once

#include "json/Json.h"

// Keeping the version of a tree that a document read, and bringing another
// program's version of the same file into the document's tree. Internal to
// ZvEnvMgr, like the rest of the engine.

// A copy of the tree to keep beside the original. It shares every scalar and
// every unread subtree with the original (copy on write keeps them apart when
// either side changes one) and has its own copy of every container that the
// original has read, so that nothing done through the original's handles
// reaches it. It costs one handle per node the original has read.
JsonNode JsonKeepCopy(JsonNode node);

// True when the two nodes hold the same value: the same type and text, the
// same members (by name) or elements in the same order. Comments do not
// count. Bodies the two trees share, and subtrees read from equal text, are
// not walked.
bool JsonSameValue(JsonNode a, JsonNode b);

// Brings into `mine` what changed from `base` to `theirs`, where `base` is the
// version that `mine` started from. Object members are matched by name (the
// n-th member of a name with the n-th of that name):
// - a member only `theirs` has is added; one that `theirs` dropped is dropped
//   where `mine` still holds it as `base` did;
// - a member `theirs` changed takes their value where `mine` still holds the
//   base's value, and keeps mine where `mine` changed or dropped it;
// - where all three hold an object, its members follow these rules in turn;
//   any other value (an array, a string, a number...) is one value: changed on
//   one side only, that side's value counts; changed on both, mine does;
// - a member `mine` renamed (the same value under a name `base` lacks, the old
//   name gone) takes the value `theirs` gave the old name.
// Members stand in the order of `theirs`; those only `mine` holds follow the
// member that precedes them in `mine`. Nodes that leave `mine` are not freed:
// their handles move to `detached` (an array), so that handles a host holds
// stay valid until `detached` is freed.
void JsonMergeTheirs(JsonNode mine, JsonNode base, JsonNode theirs, JsonNode detached);
