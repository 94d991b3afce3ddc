#version 330
// Only where no geometry was drawn: the mask is the G-Buffer's coverage alpha.
layout(std140) uniform Misc {
	vec2 vMapSize;
	float fNear;
	float fFar;
};
uniform samplerCube ColorCubeMap;
uniform sampler2D MaskMap;
uniform vec4 vColor;
in vec3 vDirection;
out vec4 vFragColor;

void main() {
	if (texture(MaskMap, gl_FragCoord.xy / vMapSize).a == 1.0) discard;
	vFragColor = texture(ColorCubeMap, vDirection) * vColor;
}
