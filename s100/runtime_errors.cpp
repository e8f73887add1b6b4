// Readable texts for the error codes, for tools that show them to a user.
#include "s100/cterrors.h"
#include "s100/ctruntime.h"

const char* CT_ErrorText(uint32_t code) {
  using namespace ct;
  switch (code) {
    case kErrNone: return "no error";
    case kErrTranslator: return "the symbol translator could not serve the request";
    case kErrNoMemory: return "out of memory";
    case kErrNotFound: return "nothing found";
    case kErrNameExists: return "a profile of that name already exists";
    case kErrInvalidName: return "the profile name is invalid";
    case kErrInvalidClass: return "the profile class is invalid";
    case kErrInvalidArgument: return "the request is malformed";
    case kErrNoSession: return "the session is unknown or closed";
    case kErrTooLarge: return "the message or element is over its size limit";
    case kErrTooDeep: return "the element is nested too deeply";
    case kErrServiceExists: return "a service of that name already exists";
    case kErrPathRefused: return "the file lies outside the server's data folder";
    case kErrIo: return "the server could not read or write its files";
    case kErrInternal: return "the server failed unexpectedly";
    case kErrServiceDisabled: return "the service is disabled";
    case kErrRevisionConflict: return "the profile's current revision is not the expected one";
    case kErrConnect: return "the server could not be reached";
    case kErrTimeout: return "the server did not answer in time";
    case kErrUnauthenticated: return "the server refused the credentials";
    case kErrTransport: return "the connection to the server failed";
    case kErrUnknownServer: return "the server is not a known server";
    case kErrNotInitialized: return "the runtime is not initialised";
    case kErrNoSymbolTable: return "no symbol table is loaded";
    case kErrUnknownSymbol: return "the symbol table has no such name or value";
    case kErrBufferTooSmall: return "the answer does not fit the buffer";
    case kErrBadAddress: return "the server address is malformed, or plain gRPC to a host that is not this machine";
    case kErrCancelled: return "the call was abandoned by its caller";
    case kErrTextSyntax: return "syntax error in the data-element text";
    case kErrTextTruncated: return "the data-element text ends inside an element";
    case kErrTextRange: return "a number in the text is out of range";
    case kErrTextDuplicateKey: return "a key appears twice in one set";
    case kErrTextMixedArray: return "an array item is of another kind than the array";
    case kErrTextTooDeep: return "the text is nested deeper than 100";
    case kErrTextTooLarge: return "the text is over 64 MiB";
    case kErrTextUnknownName: return "the text names an unknown symbol";
    case kErrTextBadType: return "the text has an unknown type word";
    case kErrTextTrailing: return "there is text after the element";
    case kErrTextBadElement: return "the element holds a handle that is not valid";
    case kErrTextReservedKey: return "the text uses a key that no set may hold";
    case kErrBadHandle: return "a container handle is not valid";
    case kErrNoSuchKey: return "the set has no value under the key";
    case kErrWrongKind: return "the value is of another kind";
    case kErrContainerNoMemory: return "the container library is out of memory";
    case kErrBadArgument: return "a container call was given a bad argument";
    case kErrEndOfKeys: return "no more keys";
    case kErrCycle: return "a container cannot hold itself";
    default: return "unknown error";
  }
}
