#version 330
// Linear depth into the G-Buffer's misc target. Blending is off, so the coverage alpha that the
// geometry wrote is written again from the depth (cleared depth 1.0 = nothing drawn).
uniform sampler2D DepthMap;
uniform float fNear;
uniform float fFar;
out vec4 vFragLinearizeDepth;

float LinearizeDepth(float z) {
	return (2.0 * fNear) / (fFar + fNear - z * (fFar - fNear));
}

void main() {
	float fDepth = texelFetch(DepthMap, ivec2(gl_FragCoord.xy), 0).r;
	vFragLinearizeDepth = vec4(LinearizeDepth(2.0 * (fDepth - 0.5)), 0.0, 0.0, fDepth < 1.0 ? 1.0 : 0.0);
}
