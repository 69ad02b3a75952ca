/* The codec's two directions between files, through the platform's file
 * handles: the same calls the installer makes, so the tool measures streams
 * exactly as an install would read them. */
#ifndef QUORBELL_STREAM_FILES_H
#define QUORBELL_STREAM_FILES_H

#include <cstdint>
#include <string>

/* A platform file handle that closes itself. */
class PlatformFile {
public:
    static PlatformFile openForReading(const std::string &path);
    /* Creates or truncates. */
    static PlatformFile create(const std::string &path);
    PlatformFile(PlatformFile &&other) noexcept;
    PlatformFile &operator=(PlatformFile &&other) = delete;
    ~PlatformFile();
    bool valid() const;
    void *handle() const { return handle_; }
    bool seek(uint64_t offset);
    /* The current position; packages stay below 2 GiB (see seek). */
    uint64_t position() const;
    bool writeAll(const void *bytes, size_t count);

private:
    explicit PlatformFile(void *handle) : handle_(handle) {}
    void *handle_;
};

/* Appends the packed stream of `length` bytes read from `in` to `out`. */
bool encodeToFile(PlatformFile &in, PlatformFile &out, uint32_t length);

struct DecodeOutcome {
    bool ok;            /* decodeStream's result */
    bool blockFailed;   /* a block failed its check */
    uint32_t consumed;  /* the framed bytes the stream was measured at */
};

/* Decodes the stream at the current position of `package` onto `out`. */
DecodeOutcome decodeToFile(PlatformFile &package, PlatformFile &out);

#endif
