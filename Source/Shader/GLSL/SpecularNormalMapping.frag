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
layout(location = 0) out vec4 vFragPosition;
layout(location = 1) out vec4 vFragNormal;
layout(location = 2) out vec4 vFragDiffuse;
layout(location = 3) out vec4 vFragSpecular;
layout(location = 4) out vec4 vFragMisc;

void main() {
	vec4 vDiffuse = texture(ColorMap, vTexCoord);
	if (vDiffuse.a == 0.0) discard;
	vec3 vBump = texture(NormalMap, vTexCoord).rgb * 2.0 - 1.0;
	vec4 vSpecular = texture(SpecularMap, vTexCoord);
	vFragPosition = vec4(vVectorPosition.xyz, fSurfaceScattering);
	vFragNormal = vec4(normalize(mTBN * vBump), fHardness);
	vFragDiffuse = vec4(vDiffuse.rgb * vColor.rgb, 1.0 - vSpecular.a);
	vFragSpecular = vec4(vSpecular.rgb, fIntensity);
	vFragMisc = vec4(0.0, 0.0, 0.0, 1.0);
}
