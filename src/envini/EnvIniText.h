#pragma once

#include <zvenv/CTqEnvIni.h>
#include <zvenv/platform/CRuntime.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>

// Helpers shared by the parts of the INI document: text forms of cached
// values, splitting of plain arrays, key patterns of ordered arrays and the
// nested maps of the cache.
namespace zv::envini {

using zv::crt::DoubleText;
using zv::crt::IntText;

// Splits a cached array text at every occurrence of the delimiter. Every
// piece before a delimiter is kept, empty or not; the rest after the last one
// only when it is not empty or keepLastEmpty is exactly 1. An empty delimiter
// does not split.
void SplitText(const CString& text, const CString& delimiter, int keepLastEmpty, CStringArray& items);

// Ordered-array key patterns are format texts for one integer. Only the
// conversion "%d" (at most once) and the literal "%%" are allowed, so caller
// text never reaches a formatter with conversions it has no argument for.
bool IsSafeKeyPattern(const CString& pattern);
// The key for one index: "%d" replaced by the index, "%%" by "%". Only for
// patterns IsSafeKeyPattern accepted.
CString FormatKey(const CString& pattern, int index);

// The values of a section, or null.
CMapStringToString* FindValues(CTqEnvIni::SectionValues& sections, const CString& section);
// The values of a section, created and entered when missing.
CMapStringToString& ValuesFor(CTqEnvIni::SectionValues& sections, const CString& section);
// The arrays of a section, created (with 17 buckets) and entered when missing.
CTqEnvIni::ArrayMap& ArraysFor(CTqEnvIni::SectionArrays& sections, const CString& section);
// The array under a name, created and entered when missing.
CStringArray& ArrayFor(CTqEnvIni::ArrayMap& arrays, const CString& name);
// Frees every array of an inner map and the map itself.
void FreeArrays(CTqEnvIni::ArrayMap* arrays);

} // namespace zv::envini
