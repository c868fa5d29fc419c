#include "output_stream.h"

#include <QMetaObject>

namespace cadhost::gui {

OutputStream::OutputStream(QObject* parent) : QObject(parent), buffer_(*this), stream_(&buffer_) {}

OutputStream::~OutputStream() = default;

OutputStream::Buffer::int_type OutputStream::Buffer::overflow(int_type c) {
    if (c != traits_type::eof()) {
        std::lock_guard lock(mutex_);
        pending_ += static_cast<char>(c);
    }
    return traits_type::not_eof(c);
}

std::streamsize OutputStream::Buffer::xsputn(const char* s, std::streamsize n) {
    std::lock_guard lock(mutex_);
    pending_.append(s, static_cast<std::size_t>(n));
    return n;
}

int OutputStream::Buffer::sync() {
    std::string piece;
    {
        std::lock_guard lock(mutex_);
        piece.swap(pending_);
    }
    if (!piece.empty()) {
        owner_.deliver(piece);
    }
    return 0;
}

void OutputStream::deliver(const std::string& piece) {
    const QString text = QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size()));
    // Direct on this object's thread, queued from any other.
    QMetaObject::invokeMethod(
        this, [this, text] { emit this->text(text); }, Qt::AutoConnection);
}

}  // namespace cadhost::gui
