#version 330
layout(std140) uniform Misc {
	vec2 vMapSize;
	float fNear;
	float fFar;
};
layout(std140) uniform Material {
	vec4 vColor;
	float fIntensity;
	float fHardness;
	float fSurfaceScattering;
	float fEmission;
	vec4 vSpecularColor;
};
uniform sampler2D DepthMap;
in vec3 vVertexPosition;
in vec3 vNormalDirection;
out vec4 vFragColor;

void main() {
	if (gl_FragCoord.z > texture(DepthMap, gl_FragCoord.xy / vMapSize).r) discard;
	float fX = clamp(abs((1.0 - cos(dot(normalize(vVertexPosition), normalize(vNormalDirection)))) * fIntensity), 0.0, 1.0);
	vFragColor = vColor * pow(1.0 - abs(fX - 0.5), fHardness);
}
