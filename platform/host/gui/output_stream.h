#pragma once
// An output stream whose text arrives in the GUI: every flushed piece is handed, on the thread
// the OutputStream lives in, to the `text` signal. Any thread may write; pieces from different
// threads stay whole as long as each writer flushes its own piece (the host prints every
// message as one piece and flushes it).
#include <QObject>
#include <QString>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace cadhost::gui {

class OutputStream : public QObject {
    Q_OBJECT

public:
    explicit OutputStream(QObject* parent = nullptr);
    ~OutputStream() override;

    std::ostream& stream() { return stream_; }

signals:
    void text(const QString& piece);

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(OutputStream& owner) : owner_(owner) {}

    private:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int sync() override;

        OutputStream& owner_;
        std::mutex mutex_;
        std::string pending_;
    };

    void deliver(const std::string& piece);

    Buffer buffer_;
    std::ostream stream_;
};

}  // namespace cadhost::gui
