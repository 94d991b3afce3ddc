#version 330
layout(std140) uniform Material {
	vec4 vColor;
	float fIntensity;
	float fHardness;
	float fSurfaceScattering;
	float fEmission;
	vec4 vSpecularColor;
};
uniform sampler2D NormalMap;
in vec2 vTexCoord;
in vec3 vEyeDirection;
in vec3 vLightDirection;
out vec4 vFragColor;

void main() {
	vec3 vN = normalize(texture(NormalMap, vTexCoord).rgb * 2.0 - 1.0);
	float fSpecular = pow(max(0.01, dot(-reflect(normalize(vLightDirection), vN), normalize(-vEyeDirection))), fHardness * 0.20) * fIntensity;
	vFragColor = vColor * fSpecular;
	vFragColor.a *= 0.50;
}
