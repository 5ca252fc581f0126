// Shader declarations as scene files give them (the `.mi` file beside a plug-in):
//
//   declare shader
//       color "name" ( color "a", scalar "b" default 0.5, ... )
//       version 4
//       apply texture
//   end declare
//
// From a declaration the host lays out the shader's parameter record: parameters in
// declaration order, each at a multiple of 4 bytes, exactly as the shader's C struct.
#ifndef QORN_DECLARATIONS_DECLARATION_H
#define QORN_DECLARATIONS_DECLARATION_H

#include <stddef.h>

#include <string>
#include <vector>

namespace qorn::host {

enum class ParamType { Color, Scalar, Boolean, Integer, Vector };

/// The declaration keyword of a type ("color", "scalar", ...).
const char* type_name(ParamType type);
/// Bytes a value of `type` takes in a parameter record (16, 4, 4, 4, 12).
size_t type_size(ParamType type);

struct ParamDecl {
    std::string name;
    ParamType type = ParamType::Scalar;
    size_t offset = 0;            ///< byte position in the record
    /// The declared default, as written: up to one number per 32-bit word, finite
    /// floats for colours, vectors and scalars, whole 32-bit numbers for integers and
    /// booleans (both exact in a double). Empty: zero.
    std::vector<double> defaults;
};

struct ShaderDecl {
    std::string name;
    ParamType result = ParamType::Color;
    int version = 0;  ///< 0 to 2147483647; 0 when the declaration gives none
    std::vector<ParamDecl> params;
    size_t record_size = 0;  ///< bytes, a multiple of 4

    /// The parameter called `name`, or null.
    const ParamDecl* find(const std::string& name) const;
};

/// Declaration files larger than this are refused (a real one is a few kilobytes).
constexpr long long kMaxDeclarationBytes = 64LL << 20;

/// Parses every `declare shader ... end declare` block of `text`; `#` starts a comment
/// that runs to the end of the line. Throws std::runtime_error with a one-line message
/// naming `where` and the line when the text is not a declaration.
std::vector<ShaderDecl> parse_declarations(const std::string& text, const std::string& where);

/// Reads and parses the file at `path`, which must be a regular file of at most
/// kMaxDeclarationBytes. Throws std::runtime_error with a one-line message.
std::vector<ShaderDecl> read_declarations(const std::string& path);

}  // namespace qorn::host

#endif
