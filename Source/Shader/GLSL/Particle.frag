#version 330
layout(std140) uniform Misc {
	vec2 vMapSize;
	float fNear;
	float fFar;
};
uniform sampler2D ColorMap;
uniform sampler2D DepthMap;
in vec2 vTexCoord;
in vec4 vParticleColor;
out vec4 vFragColor;

void main() {
	if (gl_FragCoord.z > texture(DepthMap, gl_FragCoord.xy / vMapSize).r) discard;
	vFragColor = texture(ColorMap, vTexCoord) * vParticleColor;
}
