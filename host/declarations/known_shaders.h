// Shaders whose parameter records the host knows from their own headers. A host can
// never trust a declaration to match the library it names; for these it can at least
// tell the user when one does not.
#ifndef QORN_DECLARATIONS_KNOWN_SHADERS_H
#define QORN_DECLARATIONS_KNOWN_SHADERS_H

#include <string>

#include "declaration.h"

namespace qorn::host {

/// For a shader whose record the host knows (qorn_wireframetexture: 48 bytes, six
/// parameters), a one-line description of how `decl` differs from it, naming `where`;
/// "" when it matches or the shader is not one the host knows.
std::string known_layout_mismatch(const ShaderDecl& decl, const std::string& where);

}  // namespace qorn::host

#endif
