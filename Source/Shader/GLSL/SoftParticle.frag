#version 330
// DepthMap holds the scene's linear depth (red): particles fade where they meet geometry.
layout(std140) uniform Misc {
	vec2 vMapSize;
	float fNear;
	float fFar;
};
uniform sampler2D ColorMap;
uniform sampler2D DepthMap;
uniform float fBlend;
in vec2 vTexCoord;
in vec4 vParticleColor;
in float fDepth;
out vec4 vFragColor;

void main() {
	float fScene = texture(DepthMap, gl_FragCoord.xy / vMapSize).r;
	if (fDepth > fScene) discard;
	vFragColor = texture(ColorMap, vTexCoord) * vParticleColor;
	vFragColor.a *= clamp((fScene - fDepth) * fBlend, 0.0, 1.0);
}
