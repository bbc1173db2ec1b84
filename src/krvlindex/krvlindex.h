#pragma once
// The content-index library: the plain C functions through which the program builds,
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
// of another form, or a file that cannot be read, leaves everything as it was. A text
// without a single word or CJK character gives no index: the record's folder and entry
// are removed.
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
// The query: a text in double quotes ("..." or “...”) is a phrase: its words and CJK
// characters must stand in the text in that order, side by side. Outside quotes the query
// is split at white space into words, all of which must occur; a word is cut into tokens
// as the text was (letters and digits form words, compared without letter case; every CJK
// character is a token of its own) and the tokens of one word must follow each other in
// the text. Hence a run of CJK characters matches exactly the texts that contain that
// run. Words of exactly two CJK characters that chain (each starts with the character the
// previous one ended with, as in "中文 文字 ") are taken as the one run they were cut from
// ("中文字").
KRVLINDEX_API float SearchFiles(const char* index, const char* query);

// Every indexed record whose text matches `query` (as SearchFiles reads it): onHit is
// called with the record id in decimal, its relevance (> 0) and `context`, in ascending
// id order. Returns the number of hits. Lists no folders: a search needs no more than the
// store.
KRVLINDEX_API int SearchIndexedFiles(const char* query, void (*onHit)(const char* id, float relevance, void* context),
                                     void* context);

// IndexFiles for a text extracted from a source document, remembering `source` (a short
// text, up to 255 bytes, that tells the document's state, such as its size and time) for
// the record: IndexedSource gives it back, so that an unchanged document need not be
// extracted again. With `file` NULL or empty nothing was extracted: the record's index is
// removed and only `source` is remembered. The remembered text goes with the record's
// store entry; DeleteFiles forgets it. With `folder` NULL the library commits what it
// indexed and lets other processes write (as it does before every search).
KRVLINDEX_API void IndexFilesFrom(const char* file, const char* folder, const char* source);

// Tells the library the records (decimal ids) that the IndexFilesFrom calls up to the end
// of the batch (IndexFilesFrom with `folder` NULL) will index, so that it can build their
// store entries on every core. Writes for each id its group, from 0 to the returned
// number of groups less one: the records are built fastest when handed over taking the
// groups in turn. Returns 1 when the batch is built on one core (a small batch, or one
// among records the store already has). Until the batch ends, a search of another
// process may not find the batch's records yet. Any call order stays correct; a record
// not named here is indexed as without a plan.
KRVLINDEX_API int IndexFilesPlan(const char* const* ids, int count, int* groups);

// The source text remembered for the record with decimal id `id`, copied with its
// terminator into `buffer` of `size` bytes. Returns its length; 0 when the record has an
// index but no remembered source (indexed through IndexFiles), -1 when the record has
// neither, or when the buffer is too small.
KRVLINDEX_API int IndexedSource(const char* id, char* buffer, int size);

// Brings a store of an older layout into the current one, which answers the same queries
// with less work: builds the new store beside it ("./KRVLINDEX.rebuild") from the index
// folders for about `milliseconds` (at least one record) and returns. Once the new store
// holds every folder's text it takes the store's place. Until then the store answers in
// its own layout; a process killed in the middle leaves both as they were at their last
// commit, and the next call goes on from there. Returns the number of records still to
// build: 0 when the store is in the current layout (or there is none yet), -1 when
// another process holds the store (the call may be repeated later).
KRVLINDEX_API int IndexFilesRebuild(int milliseconds);
