#pragma once
// Byte streams of the class library, as BLOB fields read and write them.
#include <cstdint>
#include <string>

namespace db {

enum TSeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
    virtual ~TStream() = default;
    // Bytes read or written.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // The new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    // Ends the stream's work (a BLOB stream stores what was written). Called
    // by whoever is done with the stream, so that failures reach the caller;
    // a destructor only ends what was not ended.
    virtual void Close() {}

    int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t position) { Seek(position, soFromBeginning); }
    int64_t Size();
    // Everything from the current position on.
    std::string ReadRest();
};

class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string data) : data_(std::move(data)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const std::string& Data() const { return data_; }

private:
    std::string data_;
    int64_t position_ = 0;
};

}  // namespace db
