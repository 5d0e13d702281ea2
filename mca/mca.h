/* MCA pictures: probe, decode into a buffer, decode to a row sink, decode
 * scaled down, and write (mca_encode). Every read is bounded by the data's size; every failure has a
 * status and words (mca_describe). Compiles as C99 and as C++.
 *
 *   mca_options options;
 *   mca_default_options(&options);
 *   mca_info info;
 *   mca_problem problem;
 *   if (mca_probe(data, size, &info, &problem) == MCA_OK)
 *     mca_decode_rows(data, size, &options, &sink, &problem);
 */
#ifndef ZUVREK_MCA_H
#define ZUVREK_MCA_H

#include <stddef.h>
#include <stdint.h>

/* zuvrek's version, the one place it is written: the build, the packages,
 * the DLLs' resources, the Python package and the man page take it from
 * here. */
#define MCA_VERSION_MAJOR 1
#define MCA_VERSION_MINOR 0
#define MCA_VERSION_PATCH 0
#define MCA_VERSION_TEXT_(major, minor, patch) #major "." #minor "." #patch
#define MCA_VERSION_TEXT(major, minor, patch) MCA_VERSION_TEXT_(major, minor, patch)
#define MCA_VERSION_STRING MCA_VERSION_TEXT(MCA_VERSION_MAJOR, MCA_VERSION_MINOR, MCA_VERSION_PATCH)

#ifdef __cplusplus
extern "C" {
#endif

typedef enum mca_status {
  MCA_OK = 0,
  MCA_NOT_MCA,              /* the data does not begin with "MCA" (value: its length, 0 when empty) */
  MCA_HEAD_OUTSIDE,         /* shorter than the 48-byte head */
  MCA_BAD_PALETTE_COUNT,    /* below 0 or above 256 (problem.value) */
  MCA_PALETTE_OUTSIDE,
  MCA_TABLE_OUTSIDE,
  MCA_FRAME_HEAD_OUTSIDE,   /* problem.frame tells which */
  MCA_PAYLOAD_OUTSIDE,      /* problem.frame tells which */
  MCA_NEGATIVE_HEIGHT,      /* the frames' heights add up below 0 (problem.value) */
  MCA_TOO_LARGE,            /* more than 2 GB of 24-bit pixels: no decoder can hold it */
  MCA_OVER_SIZE_LIMIT,      /* more pixels than options.max_pixels (value, limit) */
  MCA_OVER_DIMENSION_LIMIT, /* a side longer than options.max_dimension (value, limit) */
  MCA_NO_PIXELS,            /* width or height 0, where a picture is needed */
  MCA_BAD_ARGUMENT,         /* a null pointer, a short stride, a scaled size out of range */
  MCA_BUFFER_TOO_SMALL,     /* the caller's buffer is shorter than the rows need (value, limit) */
  MCA_NO_MEMORY,
  MCA_STOPPED,              /* the row sink asked to stop */
  MCA_READ_FAILED,          /* the caller's reader (mca_reader) could not read */
  MCA_SHORT_PAYLOADS,       /* the payloads can fill at most `value` of the picture's `limit` bytes of
                             * 24-bit pixels: damaged or cut short (mca_check_picture) */
  /* mca_encode's: */
  MCA_TOO_MANY_COLOURS,     /* more than `limit` (256) colours for 8-bit frames */
  MCA_SIZE_DIFFERS,         /* the picture (width x height) is not its template's size (value x limit) */
  MCA_UNFIT_TEMPLATE,       /* the template's frame `frame` has a negative side */
  MCA_WRITE_FAILED          /* the caller's writer (mca_writer) could not write */
} mca_status;

/* What went wrong, in enough detail to tell a user. */
typedef struct mca_problem {
  mca_status status;
  int32_t frame;  /* 0-based, for the frame statuses; else -1 */
  int64_t value;  /* the count, height, pixels, side or bytes at fault */
  int64_t limit;  /* the limit it passed */
  int32_t width;  /* the picture's size, for the size statuses; else 0 */
  int32_t height;
} mca_problem;

/* How the buffer of mca_decode, and the rows the row decodes hand to a sink,
 * are laid out. */
typedef enum mca_layout {
  /* Rows top first, 3 x width bytes of red, green, blue each; bytes between
   * rows are not touched. */
  MCA_LAYOUT_RGB = 0,
  /* A 24-bit bottom-up DIB: rows bottom first, blue, green, red, each row
   * padded to 4 bytes; the padding is part of the row and a narrower 24-bit
   * frame writes its own row padding there, as Windows viewers have it. */
  MCA_LAYOUT_DIB = 1,
  /* Rows top first, 3 x width bytes of blue, green, red each (Windows'
   * top-down 24-bit rows, WIC's 24bppBGR); bytes between rows are not
   * touched. */
  MCA_LAYOUT_BGR = 2,
  /* Rows top first, 4 x width bytes of red, green, blue and 255 each (the
   * browser's ImageData, Pillow's and Cairo's RGBA); mca_decode's bytes
   * between rows are not touched. */
  MCA_LAYOUT_RGBA = 3,
  /* Rows top first, 4 x width bytes of blue, green, red and 255 each
   * (Windows' and Qt's 32-bit BGRA in memory). */
  MCA_LAYOUT_BGRA = 4
} mca_layout;

/* Threads for decodes, supplied by a caller that has its own way to start
 * them (NULL in the options: the C++ library's threads). */
typedef struct mca_thread_api {
  /* Starts run(argument) on a new thread; 0 when none can be had. */
  int (*start)(void (*run)(void*), void* argument, void** thread);
  void (*join)(void* thread);
  /* Processors this process may run on. */
  int32_t (*processors)(void);
} mca_thread_api;

/* The most threads one decode uses. */
#define MCA_MAX_THREADS 16
#define MCA_DEFAULT_MAX_PIXELS 268435456u
#define MCA_DEFAULT_MAX_DIMENSION 32768u
/* mca_encode's default band: frames of about this many bytes of rows. */
#define MCA_BAND_BYTES 262144
#define MCA_DEFAULT_LEVEL 1
#define MCA_MAX_LEVEL 2

typedef struct mca_options {
  /* sizeof(mca_options) as the caller was built, set by
   * mca_default_options: fields added later go at the end, and a caller
   * built with fewer gets their defaults. A size below the first struct's
   * (a struct not made by mca_default_options) is MCA_BAD_ARGUMENT. */
  uint32_t size;
  /* Threads a decode may use, the calling one included: 0 (the default) one
   * per processor; 1 the calling thread alone. Never more than
   * MCA_MAX_THREADS. Threads never change the pixels. */
  uint32_t threads;
  /* Full-size decodes fail before any allocation for pictures of more pixels
   * than this (default MCA_DEFAULT_MAX_PIXELS), or with a side longer than
   * max_dimension (default MCA_DEFAULT_MAX_DIMENSION); 0: no limit. A scaled
   * decode applies them to its output. */
  uint64_t max_pixels;
  uint32_t max_dimension;
  /* mca_decode's buffer, and the rows the row decodes hand over (any layout
   * but MCA_LAYOUT_DIB); default MCA_LAYOUT_RGB. */
  mca_layout layout;
  /* mca_decode: the caller's buffer is already zero-filled (from calloc,
   * say), so the bytes no frame writes need not be cleared; default 0. */
  int output_zeroed;
  const mca_thread_api* thread_api;  /* default NULL */
  /* With threads, a compressed frame's rows go from the thread that expands
   * them to the one that places them in batches of about this many bytes
   * (whole rows, at least one); 0 (the default): 256 KiB. */
  uint32_t batch_bytes;
  /* Whole decodes of a picture whose payloads cannot fill it (see
   * mca_check_picture) go on instead of failing with MCA_SHORT_PAYLOADS;
   * default 0. */
  int decode_damaged;

  /* mca_encode's options (the fields above that it reads: size, threads,
   * thread_api, the limits and layout, the rows' layout). */
  /* 0 (the default): 8-bit palette indexes for a picture of 256 colours or
   * fewer, else 24-bit; 8 or 24: those frames (8 fails with
   * MCA_TOO_MANY_COLOURS past 256 colours). A template decides instead. */
  int32_t depth;
  /* How hard LZSS looks for references: 0 none (frames stored, or all
   * literals where a template's frame is compressed), 1 (the default) a
   * lazy parse, 2 the fewest bits the references found allow, slower. */
  int32_t level;
  /* Rows in each frame, the picture's bands (0: the default, MCA_BAND_BYTES
   * of frame rows, at least one row). A template decides instead. */
  int32_t band_height;
  /* A whole MCA file to take as the template (NULL: none): its head, frames
   * (count, sizes, stored or compressed) and every byte no decoder reads
   * are kept; only the payloads, and the palette's colours where they must,
   * are new. Its payloads are never read, so a damaged file serves. */
  const uint8_t* like;
  size_t like_size;
} mca_options;

void mca_default_options(mca_options* options);

/* The processors this process may run on, as a decode with threads 0
 * counts them with the C++ library's threads: its affinity mask, and a
 * container's CPU quota (cgroup v2) where there is one; 1 where the build
 * has no threads. */
int32_t mca_processors(void);

/* Whether a picture of width x height pixels can be decoded within the
 * options' limits (options NULL: the defaults), as the full-size decodes
 * decide it: MCA_OK, MCA_NO_PIXELS (a side of 0), MCA_OVER_DIMENSION_LIMIT or
 * MCA_OVER_SIZE_LIMIT. For callers that allocate the output themselves
 * before decoding. */
mca_status mca_check_limits(int32_t width, int32_t height, const mca_options* options, mca_problem* problem);

typedef struct mca_info {
  int32_t width;
  int32_t height;
  int32_t pixel_format;   /* 8: palette indexes; 24: blue, green, red pixels */
  int32_t palette_count;
  int32_t frame_count;    /* entries of the frame table (0 when the head says less) */
  /* The most bytes of 24-bit pixels (3 a pixel) the payloads can give, from
   * the heads alone: under 3 x width x height for a picture that is damaged
   * or cut short. */
  uint64_t reach_bytes;
} mca_info;

/* Whether the picture a probe described (`info`) can be decoded into memory
 * at width x height: mca_check_limits for that size, and at the picture's
 * own size or larger (a whole decode, perhaps scaled up after), unless
 * options->decode_damaged, that its payloads can fill it: MCA_SHORT_PAYLOADS
 * for a picture of over 16 MiB of 24-bit pixels whose payloads cannot fill a
 * quarter of it. mca_decode decides the same; a caller that allocates its
 * output itself asks first. Smaller and streamed decodes, whose memory does
 * not grow with the picture, go on. */
mca_status mca_check_picture(const mca_info* info, int32_t width, int32_t height, const mca_options* options,
                             mca_problem* problem);

typedef struct mca_frame_info {
  int32_t width;
  int32_t height;
  int32_t stored_size;    /* payload bytes in the file */
  int32_t expanded_size;  /* compressed frames: the expansion's limit; else not used */
  int compressed;
} mca_frame_info;

/* True when the data begins with the signature "MCA". */
int mca_has_signature(const uint8_t* data, size_t size);

/* Data that is not in memory (a stream, a file), for the *_reader calls:
 * `read` copies `size` bytes at `offset`, always inside the data, into `into`
 * and answers non-zero, or 0 when they cannot be read. */
typedef struct mca_reader {
  int (*read)(void* context, uint64_t offset, uint8_t* into, size_t size);
  void* context;
  uint64_t size; /* the data's length in bytes */
} mca_reader;

/* Checks the signature, the head, the palette, the frame table, every frame's
 * head and payload and the picture's size, reading nothing outside the data.
 * `info` is filled whenever the head, palette, table and frame heads lie
 * inside the data, whatever the status (its pixel_format is then 8 or 24),
 * for callers with rules of their own. */
mca_status mca_probe(const uint8_t* data, size_t size, mca_info* info, mca_problem* problem);

/* The same checks without the signature, for callers that take any
 * container they are given (the 00IN plug-in's rule). */
mca_status mca_probe_container(const uint8_t* data, size_t size, mca_info* info, mca_problem* problem);

/* mca_probe through a reader: reads the head, the frame table and the frame
 * heads, never the palette's entries or a payload. MCA_READ_FAILED when a
 * read fails. */
mca_status mca_probe_reader(const mca_reader* reader, mca_info* info, mca_problem* problem);

/* The bytes the picture takes from its start (its head, palette, frame
 * table, frame heads and payloads), as far as the data holds them; 0 when the
 * head or a frame head does not lie in the data. For readers that leave a
 * stream right after the picture. */
size_t mca_picture_bytes(const uint8_t* data, size_t size);

/* Frame `index` of a picture whose probe filled its info. */
mca_status mca_get_frame(const uint8_t* data, size_t size, int32_t index, mca_frame_info* frame);

/* The decodes check what the probe checks but the signature: a caller that
 * tells files apart probes first. */

/* Decodes the whole picture into `buffer` of `buffer_size` bytes, rows
 * `stride` bytes apart, laid out as options->layout says. Every byte of every
 * row is set (what no frame covers is black). `options` may be NULL (the
 * defaults). A payload outside the data (a file cut short) still gives the
 * frames before it, with MCA_PAYLOAD_OUTSIDE. */
mca_status mca_decode(const uint8_t* data, size_t size, const mca_options* options, uint8_t* buffer,
                      size_t stride, size_t buffer_size, mca_problem* problem);

/* Rows as they become final, top row first, each exactly once, on the
 * calling thread, valid during the call: 3 x width bytes of red, green, blue,
 * or as options->layout says. Memory is a few rows, whatever the picture's
 * size. */
typedef struct mca_row_sink {
  /* Called once before any row with the size of the rows to come, after the
   * limits are checked; may be NULL. A non-zero answer stops the decode. */
  int (*begin)(void* context, int32_t width, int32_t height);
  /* Row y; a non-zero answer stops the decode (MCA_STOPPED). */
  int (*row)(void* context, int32_t y, const uint8_t* rgb);
  void* context;
} mca_row_sink;

mca_status mca_decode_rows(const uint8_t* data, size_t size, const mca_options* options, const mca_row_sink* sink,
                           mca_problem* problem);

/* The same rows averaged down to width x height (each from 1 to the
 * picture's own): every output pixel is the area average of the source pixels
 * it covers. At the picture's own size these are mca_decode_rows' rows, so a
 * caller that decodes whole or smaller makes one call. Memory is the output
 * rows and one row of sums, whatever the picture's size; the limits apply to
 * the output. */
mca_status mca_decode_scaled(const uint8_t* data, size_t size, const mca_options* options, int32_t width,
                             int32_t height, const mca_row_sink* sink, mca_problem* problem);

/* The picture at width x height, its own size or smaller (as
 * mca_decode_scaled takes it), into a buffer as mca_decode fills one (any
 * layout but MCA_LAYOUT_DIB when smaller): the one call for a caller that
 * holds the output in memory, whole or scaled. */
mca_status mca_decode_sized(const uint8_t* data, size_t size, const mca_options* options, int32_t width,
                            int32_t height, uint8_t* buffer, size_t stride, size_t buffer_size, mca_problem* problem);

/* mca_decode_scaled for data read through a reader (a stream, a file): the
 * heads first, then each payload a few KiB at a time as rows need it, all on
 * the calling thread, so memory is that of mca_decode_scaled without the
 * data. The width and height may be the picture's own. A read that fails
 * ends the decode with MCA_READ_FAILED; the rows already handed over stay. */
mca_status mca_decode_scaled_reader(const mca_reader* reader, const mca_options* options, int32_t width,
                                    int32_t height, const mca_row_sink* sink, mca_problem* problem);

/* The buffer a width x height picture (or scaled size) takes in `layout`,
 * as mca_decode and mca_decode_sized fill one: `stride`, the bytes of a row
 * (MCA_LAYOUT_DIB's padded to 4), and `bytes`, stride x height. MCA_OK;
 * MCA_BAD_ARGUMENT for a negative side, an unknown layout or a null output;
 * MCA_TOO_LARGE when the bytes do not fit a size_t (value: the rows' bytes,
 * saturated). */
mca_status mca_buffer_size(int32_t width, int32_t height, mca_layout layout, size_t* stride, size_t* bytes,
                           mca_problem* problem);

/* The largest size inside max_width x max_height with the picture's aspect,
 * never larger than the picture and at least 1 x 1. */
void mca_fit_size(int32_t width, int32_t height, int32_t max_width, int32_t max_height, int32_t* fit_width,
                  int32_t* fit_height);

/* Writing. The picture's rows come from the caller, top row first, as many
 * times as the encoder asks (twice where it counts colours first: 8-bit
 * frames, or depth 0 until past 256 colours). */
typedef struct mca_row_source {
  /* Fills `into` with row y, 0 at the top, laid out as options->layout says
   * (MCA_LAYOUT_RGB, BGR, RGBA or BGRA; the fourth byte is not read); a
   * non-zero answer stops the encode (MCA_STOPPED). */
  int (*row)(void* context, int32_t y, uint8_t* into);
  void* context;
} mca_row_source;

/* Where the file goes: `write` puts `size` bytes at `offset` and answers
 * non-zero, or 0 when it cannot (MCA_WRITE_FAILED). Every byte of the file is
 * written once: the frames in order from the end of the frame table, then
 * the head, palette and table at offset 0. */
typedef struct mca_writer {
  int (*write)(void* context, uint64_t offset, const uint8_t* bytes, size_t size);
  void* context;
} mca_writer;

/* Writes a width x height picture as MCA: the 48-byte head (unread bytes
 * zero, without a template), the palette of 8-bit frames, the frame table and
 * each band as a frame, its payload LZSS-coded (stored instead where that is
 * smaller) and scrambled. Bands are coded on options->threads threads; memory
 * is a few bands and their streams, whatever the picture's size. On failure
 * the bytes written are no file. */
mca_status mca_encode(int32_t width, int32_t height, const mca_options* options, const mca_row_source* source,
                      const mca_writer* writer, mca_problem* problem);

/* Room enough for the words of any problem, the zero byte included. */
#define MCA_DESCRIBE_ROOM 256

/* The problem in words, e.g. "frame 3's head lies outside the file"; writes
 * at most `room` bytes, always ending with a zero byte, and returns the length
 * the whole text needs (less than MCA_DESCRIBE_ROOM). */
size_t mca_describe(const mca_problem* problem, char* text, size_t room);

#ifdef __cplusplus
}
#endif

#endif
