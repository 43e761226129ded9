#pragma once

class CheckedFile;

// Asks the system to read a file into its cache for whoever reads it next, and waits for none
// of the reading: a clone shares the old file's blocks but none of its cached pages, so the next
// update would read the whole file from the disk. It keeps a descriptor of the file of its own,
// taken while the file is still open: once the file is in place nothing is opened by its path,
// where someone may have put a link, a FIFO or a device by then. Only a hint: a failure is no
// error, and where the system has no such hint nothing happens.
class ReadAhead
{
public:
    explicit ReadAhead(const CheckedFile &file);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // Gives the hint over the whole file and lets go of the descriptor.
    void start();

private:
    int m_fd = -1;
};
