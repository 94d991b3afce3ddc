#version 330
layout(std140) uniform Material {
	vec4 vColor;
	float fIntensity;
	float fHardness;
	float fSurfaceScattering;
	float fEmission;
	vec4 vSpecularColor;
};
uniform sampler2D ColorMap;
uniform sampler2D NormalMap;
uniform sampler2D SpecularMap;
uniform float fScale;
uniform float fBias;
in vec4 vVectorPosition;
in vec2 vTexCoord;
in mat3 mTBN;
out vec4 vFragPosition;
out vec4 vFragNormal;
out vec4 vFragDiffuse;
out vec4 vFragSpecular;
out vec4 vFragMisc;

void main() {
	vec3 d = normalize(-vVectorPosition.xyz * mTBN);
	vec2 o = vec2(d.x, -d.y) / d.z;
	vec2 vCoord = vTexCoord;
	float h = (texture(NormalMap, vCoord).a * 0.03 - 0.02) * 1.5;
	vCoord += h * o * 0.15;
	h = (texture(NormalMap, vCoord).a * 0.02 - 0.015) * 1.5;
	vCoord += h * o * 0.35;
	h = (texture(NormalMap, vCoord).a * 0.02 - 0.02) * 1.5;
	vCoord += h * o * 0.50;
	vec4 vDiffuse = texture(ColorMap, vCoord);
	if (vDiffuse.a == 0.0) discard;
	vec3 vBump = texture(NormalMap, vCoord).rgb * 2.0 - 1.0;
	vec4 vSpecular = texture(SpecularMap, vCoord);
	vFragPosition = vec4(vVectorPosition.xyz, fSurfaceScattering);
	vFragNormal = vec4(normalize(mTBN * vBump), fHardness);
	vFragDiffuse = vec4(vDiffuse.rgb * vColor.rgb, 1.0 - vSpecular.a);
	vFragSpecular = vec4(vSpecular.rgb, fIntensity);
	vFragMisc = vec4(0.0, 0.0, 0.0, 1.0);
}
