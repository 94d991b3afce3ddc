#version 330
layout(std140) uniform Misc {
	vec2 vMapSize;
	float fNear;
	float fFar;
};
layout(std140) uniform Material {
	vec4 vRefractionColor;
	float fIntensity;
	float fHardness;
	float fSurfaceScattering;
	float fRefraction;
	vec4 vSpecularColor;
};
uniform sampler2D ColorMap;
uniform sampler2D DepthMap;
uniform sampler2D NormalMap;
uniform sampler2D MaskMap;
uniform vec2 vOffset;
in vec2 vTexCoord;
in vec3 vEyeDirection;
out vec4 vFragColor;

void main() {
	vec2 s = gl_FragCoord.xy / vMapSize;
	if (gl_FragCoord.z > texture(DepthMap, s).r) discard;
	vec3 vNormal = normalize(texture(NormalMap, vTexCoord + vOffset).rgb * 2.0 - 1.0);
	vec2 r = s + vNormal.xz * gl_FragCoord.w * fRefraction;
	float fSpecular = pow(max(0.0, dot(-reflect(normalize(vec3(0.0, 0.8, -0.2)), vNormal), normalize(vEyeDirection))), fHardness) * fIntensity;
	vec4 c = gl_FragCoord.z < texture(DepthMap, r).r ? texture(ColorMap, r) : texture(ColorMap, s);
	vFragColor = vec4((c * vRefractionColor + fSpecular * vSpecularColor).rgb, texture(MaskMap, vTexCoord).r);
}
