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
in vec4 vVectorPosition;
in vec2 vTexCoord;
in mat3 mTBN;
out vec4 vFragPosition;
out vec4 vFragNormal;
out vec4 vFragDiffuse;
out vec4 vFragSpecular;
out vec4 vFragMisc;

void main() {
	vec4 vDiffuse = texture(ColorMap, vTexCoord);
	if (vDiffuse.a == 0.0) discard;
	vec3 vBump = texture(NormalMap, vTexCoord).rgb * 2.0 - 1.0;
	vec4 vSpecular = texture(SpecularMap, vTexCoord);
	vec3 vN = normalize(mTBN * vBump);
	// Grass cards are drawn from both sides; the front face gets the turned normal.
	if (gl_FrontFacing) vN = -vN;
	vFragPosition = vec4(vVectorPosition.xyz, fSurfaceScattering);
	vFragNormal = vec4(vN, fHardness);
	vFragDiffuse = vec4(vDiffuse.rgb * vColor.rgb, 1.0 - vSpecular.a);
	vFragSpecular = vec4(vSpecular.rgb, fIntensity);
	vFragMisc = vec4(0.0, 0.0, 0.0, 1.0);
}
