#pragma once
// Storing fetched pages and images in the run folder under their sequence numbers, and the two
// rules that delete stored files again. Pages and images share one sequence, gFileCounter, which
// runs on from one crawl to the next while the program runs.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/SequenceName.h"
#include "crawl/BodyFile.h"
#include "crawl/Fetcher.h"
#include "crawl/RunStorage.h"

// True when any directory entry of that name exists: file, folder or link (even a dangling one).
bool EntryExists(const QString& path);

// "." and the text between the first and second "." of the URL's last "/"-piece: "photo.jpg"
// gives ".jpg", "a.b.jpg" gives ".b", a URL ending in "/" or without "/" gives ".".
QString GetExtension(const QString& url);

// A body fetched into its file, or the reason there is none.
struct FetchedBody {
    FetchResult result;
    std::unique_ptr<BodyFile> body;  // null when it could not be made (result.storageError)
};
// Fetches url into a body file; digest asks for the body's SHA-256 along the way.
using BodySource = std::function<FetchedBody(bool digest)>;
// The size and SHA-256 of a stored body, worked out from the bytes as they were written.
struct StoredBody {
    std::int64_t bytes = 0;
    QByteArray sha256;  // raw digest
};
// With naming given, the extension is the one it gives for the fetched answer instead of the
// URL's, and a body it gives none for is dropped (its number stays used).
using AnswerNaming = std::function<QString(const FetchResult& answer)>;

// Stores the body source fetches for url in gRunFolder under the next free sequence name and
// returns the stored path, or an empty text when anything failed. gFileCounter is raised before
// the attempt (source is asked once the number is taken) and for every name already taken; a
// failed attempt uses up its number. The body goes to a file without a name first (a hidden
// temporary one where the file system knows no unnamed files) and takes its numbered name only
// once complete, never replacing a file that appeared meanwhile, so nobody ever sees a
// half-written file and no failed attempt leaves one. All writing goes through
// CurrentRunStorage(). An empty result with fault set means local storage failed (the body
// could not be held, or the numbered name could not be given for another reason than being
// taken or refused as a name); an empty result with fault left clear is a failed or aborted
// fetch, which the crawl passes over. With stored given, it receives the body's size and digest.
QString StoreBody(const QString& url, const BodySource& source, StorageFault* fault = nullptr,
                  StoredBody* stored = nullptr, const AnswerNaming& naming = {});
// False for an extension no file may be named with (it holds a NUL): nothing is fetched for it.
bool NameableExtension(const QString& extension);

// After a stored page has been scanned: deletes it when gHTMLAutoDelete is "0". True when it was
// to be deleted; removeError receives the errno of a deletion that failed, else 0.
bool ApplyStoredPageRule(const QString& path, int* removeError = nullptr);

// After an image has been stored: deletes it when gPictAutoDelete is "0" and it holds fewer than
// gPictAutoDeleteSize * 1000 bytes. True when it was to be deleted (the image then does not
// count, even when the deletion failed); removeError as above.
bool ApplySmallImageRule(const QString& path, int* removeError = nullptr);
