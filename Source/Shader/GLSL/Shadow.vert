#version 330
// Shadow casters into a depth map. Variants: MVE_ARRAY (layer = iGroup), MVE_WIND (grass moved by
// vWind * iGroup), MVE_OPAQUE (no alpha test, nothing to pass on; with MVE_WIND for grass that has
// nothing to cut out).
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
in vec4 vVertex;
#ifndef MVE_OPAQUE
in vec2 vTexCoord0;
out vec2 vTexCoord;
#endif
#if defined(MVE_ARRAY) || defined(MVE_WIND)
in float iGroup;
#endif
#ifdef MVE_ARRAY
flat out float fLayer;
#endif
#ifdef MVE_WIND
uniform vec3 vWind;
#endif

void main() {
#ifdef MVE_WIND
	gl_Position = mProjectionMatrix * ((mModelViewMatrix * vVertex) + vec4(vWind, 0.0) * iGroup);
#else
	gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
#endif
	gl_Position.z += 0.001475;
#ifndef MVE_OPAQUE
	vTexCoord = vTexCoord0;
#endif
#ifdef MVE_ARRAY
	fLayer = iGroup;
#endif
}
