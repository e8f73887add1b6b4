// Limits that every part handling profiles holds to alike: the text format,
// the server and its wire messages, and the editor.  A profile that one of
// them accepts the others can store, read and show.
#pragma once

// Deepest nesting of key-value sets and arrays in one data element; the
// outermost container counts as one, so a profile's own set is level 1.
inline constexpr int kCtMaxElementDepth = 100;
