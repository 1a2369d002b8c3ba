// An owned zlib inflate stream, ended on every path out of its scope.
#pragma once

#include <zlib.h>

namespace glyphtint::archive {

class InflateStream {
public:
    InflateStream() { ok_ = inflateInit(&stream_) == Z_OK; }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
    ~InflateStream()
    {
        if (ok_) {
            inflateEnd(&stream_);
        }
    }

    bool Ok() const { return ok_; }
    z_stream& Get() { return stream_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

} // namespace glyphtint::archive
