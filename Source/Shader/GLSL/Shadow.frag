#version 330
// Depth only; cut-out texels (alpha exactly 0.0) cast no shadow.
#ifndef MVE_OPAQUE
#ifdef MVE_ARRAY
uniform sampler2DArray DiffuseMap;
flat in float fLayer;
#else
uniform sampler2D DiffuseMap;
#endif
in vec2 vTexCoord;
#endif

void main() {
#ifndef MVE_OPAQUE
#ifdef MVE_ARRAY
	if (texture(DiffuseMap, vec3(vTexCoord, fLayer)).a == 0.0) discard;
#else
	if (texture(DiffuseMap, vTexCoord).a == 0.0) discard;
#endif
#endif
}
