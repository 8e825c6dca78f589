#pragma once

#include <exception>
#include <string>

// The one error report of the image layer: a numeric code and a text meant for the user.
class CTextException : public std::exception {
public:
    // Codes in use across the layer.
    enum Code {
        WrongSignature = 1,
        Malformed = 2,
        NotSupported = 6,
        PcxFeature = 7,
        UnknownFileType = 8,
        OutOfMemory = 10,
        EndOfData = 11,
    };

    CTextException(int code, std::string text) : m_code(code), m_text(std::move(text)) {}

    int GetCode() const noexcept { return m_code; }
    const std::string& GetText() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_text.c_str(); }

private:
    int m_code;
    std::string m_text;
};
