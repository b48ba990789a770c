#pragma once

#include "Networking/BusinessOrTransportError.h"

namespace vellamor {

// Declaration order of the cases.
enum class InputSourceAPIErrorKind { business, transport, decodingFailed, missingToken, unauthorized, encodingFailed };

// Every failure InputSourceAPI detects itself, with the text the card and
// the pairing sheet show: the texts of UsageAPIError's cases of the same
// names. The HTTP session's own errors are not wrapped. The detail of
// transport is "invalid response" or "HTTP <status>", that of
// decodingFailed the decoder's description or "empty data".
class InputSourceAPIError final : public BusinessOrTransportError<InputSourceAPIError, InputSourceAPIErrorKind> {
    friend class BusinessOrTransportError<InputSourceAPIError, InputSourceAPIErrorKind>;
    using BusinessOrTransportError::BusinessOrTransportError;
};

} // namespace vellamor
