#pragma once
// The content-index library: the three plain C functions through which the program builds,
// removes and searches the content index of its records. Nothing else is exported.
//
// All texts are 8-bit, NUL-terminated, UTF-8 on Linux. Paths are relative to the working
// directory of the calling process:
//   "./KRVLINDEX"      the search store (a Xapian database); derived data, rebuilt when lost
//   "./index/<id>/"    one folder per indexed record, holding "text.txt": the record's text
//                      decoded to UTF-8. The folder alone is enough to rebuild the record's
//                      entry in the store, so a folder copied into another catalogue's
//                      "./index/" becomes searchable there at its next search.
//
// None of the functions reports errors; each catches everything it meets. They may be
// called from several threads; calls are serialised inside the library.

#if defined(KRVLINDEX_BUILD)
#define KRVLINDEX_API extern "C" __attribute__((visibility("default")))
#elif defined(__cplusplus)
#define KRVLINDEX_API extern "C"
#else
#define KRVLINDEX_API
#endif

// Indexes the plain-text file `file` (UTF-8, UTF-16 with or without byte-order mark,
// GB18030/GBK or Big5, detected) as the text of the record whose index folder is `folder`
// ("./index/" + decimal id, or "index/" + id). The record's old text is replaced. A folder
// of another form, or a file that cannot be read, leaves everything as it was.
// `createStore` tells that "./KRVLINDEX" did not exist; the store is created whenever it is
// missing, so the flag is not needed and is ignored.
KRVLINDEX_API void IndexFiles(const char* file, const char* folder, bool createStore);

// Removes the index of the record with decimal id `id` (its folder and its store entry).
// Anything but decimal digits is ignored.
KRVLINDEX_API void DeleteFiles(const char* id);

// Relevance of the record named by `index` ("./index/" + id, or the bare id) for `query`:
// greater than 0 exactly when the record's text matches, larger for better matches; 0 when
// it does not match or the record has no index.
//
// The query is split at white space into words, all of which must occur. A word is cut
// into tokens as the text was (letters and digits form words, compared without letter
// case; every CJK character is a token of its own); the tokens of one word must follow
// each other in the text. Hence a run of CJK characters matches exactly the texts that
// contain that run. Words of exactly two CJK characters that chain (each starts with the
// character the previous one ended with, as in "中文 文字 ") are taken as the one run
// they were cut from ("中文字").
KRVLINDEX_API float SearchFiles(const char* index, const char* query);
